#include "app/report_worker.h"

#include <utility>

#include "platform/platform.h"

ReportWorker::ReportWorker(Consumer consume, size_t maxQueuedBytes)
    : consume_(std::move(consume)), maxQueuedBytes_(maxQueuedBytes), thread_(&ReportWorker::Run, this) {}

ReportWorker::~ReportWorker() {
  Drain();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_one();
  thread_.join();
}

void ReportWorker::FeedLine(const std::string& line) {
  batch_.bytes += line;
  batch_.ends.push_back(batch_.bytes.size());
  if (batch_.bytes.size() >= kBatchBytes) Submit();
}

void ReportWorker::Submit() {
  if (batch_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return queue_.bytes.size() < maxQueuedBytes_; });
  bool wasEmpty = queue_.empty();
  if (wasEmpty) {
    std::swap(queue_, batch_);
  } else {
    size_t base = queue_.bytes.size();
    queue_.bytes += batch_.bytes;
    for (size_t end : batch_.ends) queue_.ends.push_back(base + end);
  }
  lock.unlock();
  batch_.clear();
  // A thread already busy takes the queue when it finishes its batch.
  if (wasEmpty) work_.notify_one();
}

void ReportWorker::Drain() {
  Submit();
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void ReportWorker::Run() {
  // Reading and logging the port come first; reports can wait a moment.
  LowerThreadPriority();
  Lines lines;
  std::string line;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::swap(lines, queue_);
    busy_ = true;
    lock.unlock();
    size_t begin = 0;
    for (size_t end : lines.ends) {
      line.assign(lines.bytes, begin, end - begin);
      consume_(line);
      begin = end;
    }
    lines.clear();
    lock.lock();
    busy_ = false;
    done_.notify_all();
  }
}
