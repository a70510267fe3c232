// ReportWorker: every line reaches the consumer once, in order, on one
// other thread; Drain and destruction leave nothing behind; a stalled
// consumer holds the producer back instead of letting the queue grow.

#include "app/report_worker.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string LineNumber(int i) {
  // Lengths from empty to past the batch size, so that batches end in
  // every kind of place.
  std::string line = std::to_string(i);
  if (i % 1000 == 999) line += std::string(100 << 10, 'x');
  return line + std::string(static_cast<size_t>(i % 40), '.');
}

TEST(ReportWorker, DeliversEveryLineInOrderOnOneOtherThread) {
  std::vector<std::string> got;
  std::thread::id consumer;
  bool oneThread = true;
  ReportWorker worker([&](const std::string& line) {
    if (got.empty()) consumer = std::this_thread::get_id();
    oneThread = oneThread && consumer == std::this_thread::get_id();
    got.push_back(line);
  });
  std::mt19937 random(7);
  const int kLines = 20000;
  for (int i = 0; i < kLines; ++i) {
    worker.FeedLine(LineNumber(i));
    if (random() % 50 == 0) worker.Submit();
  }
  worker.Drain();
  ASSERT_EQ(got.size(), static_cast<size_t>(kLines));
  for (int i = 0; i < kLines; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], LineNumber(i)) << "line " << i;
  EXPECT_TRUE(oneThread);
  EXPECT_NE(consumer, std::this_thread::get_id());

  // Drain again with nothing new, and an empty line on its own.
  worker.Drain();
  worker.FeedLine("");
  worker.Drain();
  ASSERT_EQ(got.size(), static_cast<size_t>(kLines) + 1);
  EXPECT_EQ(got.back(), "");
}

TEST(ReportWorker, DestructionConsumesWhatWasFedButNotSubmitted) {
  std::vector<std::string> got;
  {
    ReportWorker worker([&](const std::string& line) { got.push_back(line); });
    worker.FeedLine("a");
    worker.Submit();
    worker.FeedLine("b");
  }
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b"}));
}

TEST(ReportWorker, StalledConsumerHoldsTheProducerBack) {
  std::mutex gate;
  std::unique_lock<std::mutex> closed(gate);
  std::atomic<size_t> consumed{0};
  const size_t kBound = 1 << 20;
  ReportWorker worker(
      [&](const std::string&) {
        std::lock_guard<std::mutex> wait(gate);
        ++consumed;
      },
      kBound);

  std::atomic<size_t> fed{0};
  std::atomic<bool> finished{false};
  const std::string line(1000, 'x');
  std::thread producer([&] {
    for (int i = 0; i < 10000; ++i) {  // 10 MB against a 1 MB bound
      worker.FeedLine(line);
      worker.Submit();
      ++fed;
    }
    finished = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // The consumer holds one batch, the queue at most the bound.
  EXPECT_FALSE(finished);
  EXPECT_LE(fed * line.size(), 2 * kBound + line.size());

  closed.unlock();
  producer.join();
  worker.Drain();
  EXPECT_EQ(consumed, 10000u);
}

}  // namespace
