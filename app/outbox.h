#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/notice.h"

// Delivery of a report's files into a folder another system watches (a
// LIMS import folder, typically on a network share that is sometimes
// unreachable). A copy is written under a name such watchers skip (a
// leading dot and a ".tmp" ending), synced, then renamed; a delivery that
// fails waits in a queue file below the root, so neither a restart nor a
// reboot loses it. The exports in the root are only read.

/// The files of `files` that the comma list `formats` asks to deliver:
/// "results" (the .csv in a folder named Results), "csv" (any other .csv),
/// "xls", "xlsx" and "txt". Names it does not know go to `unknown` (may be
/// null).
std::vector<std::string> FilesToDeliver(const std::vector<std::string>& files, const std::string& formats,
                                        std::vector<std::string>* unknown = nullptr);

/// Copies `source` into `folder` under its own name, or its name with "_2",
/// "_3", ... before the extension when a different file has it (a file of
/// the same bytes counts as this delivery, made before a restart). True
/// with the final path in `delivered`; otherwise `err` gives the cause and
/// `sourceGone` (may be null) tells that the source no longer exists.
bool DeliverFile(const std::string& source, const std::string& folder, std::string* delivered, std::string* err,
                 bool* sourceGone = nullptr);

/// The queue file of a root: "<root>/Outbox/queue.txt".
std::string OutboxQueuePath(const std::string& root);

/// Delivers on a thread of its own, so a share that hangs holds up neither
/// the port nor the exports, and retries what failed every minute.
class Outbox {
 public:
  explicit Outbox(NoticeSink& notices);
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  /// Takes up the deliveries waiting in `root`'s queue (once per root) and
  /// tries every waiting delivery now.
  void Resume(const std::string& root);
  /// Queues `files` for `folder` in `root`'s queue and tries them now;
  /// `then` (may be empty) runs on the delivery thread once each was tried.
  void Deliver(const std::string& root, const std::string& folder, const std::vector<std::string>& files,
               std::function<void()> then);
  /// The deliveries waiting (queued and not yet delivered).
  size_t Waiting() const;
  /// Tries what was queued and not yet tried, then ends the thread, waiting
  /// at most `wait`; what is left stays in the queue files. True when the
  /// thread ended in time.
  bool Stop(std::chrono::milliseconds wait);
  /// Retries every `interval` instead of every minute (tests).
  void SetRetryInterval(std::chrono::milliseconds interval);

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread thread_;
  void StartThread();
};
