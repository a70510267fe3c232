#include "app/outbox.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "export/report_export.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/synced_file.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

// Exports name their files with the platform's separator; a root typed by
// hand on Windows may hold either.
size_t NameStart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string FolderName(const std::string& path) {
  size_t start = NameStart(path);
  if (start == 0) return "";
  std::string folder = path.substr(0, start - 1);
  return folder.substr(NameStart(folder));
}

std::string Extension(const std::string& path) {
  size_t dot = path.rfind('.');
  return dot == std::string::npos || dot < NameStart(path) ? "" : Lower(path.substr(dot + 1));
}

bool IsFormat(const std::string& path, const std::string& format) {
  const std::string ext = Extension(path);
  bool inResults = Lower(FolderName(path)) == "results";
  if (format == "results") return ext == "csv" && inResults;
  if (format == "csv") return ext == "csv" && !inResults;
  return ext == format;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<std::string> FilesToDeliver(const std::vector<std::string>& files, const std::string& formats,
                                        std::vector<std::string>* unknown) {
  static const char* const kKnown[] = {"results", "csv", "xls", "xlsx", "txt"};
  std::vector<std::string> wanted;
  for (const std::string& name : FormatNames(formats)) {
    if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) {
      if (unknown) unknown->push_back(name);
    } else {
      wanted.push_back(name);
    }
  }
  std::vector<std::string> out;
  for (const std::string& file : files) {
    for (const std::string& format : wanted) {
      if (IsFormat(file, format) && std::find(out.begin(), out.end(), file) == out.end()) out.push_back(file);
    }
  }
  return out;
}

bool DeliverFile(const std::string& source, const std::string& folder, std::string* delivered, std::string* err,
                 bool* sourceGone) {
  if (sourceGone) *sourceGone = false;
  std::string data;
  if (!ReadWholeFile(source, &data, err)) {
    if (sourceGone) *sourceGone = !PathExists(source);
    return false;
  }
  // A mount point with nothing mounted must not receive the file: the
  // folder is never made here.
  if (!PathExists(folder)) {
    *err = "the folder " + folder + " does not exist (a share not connected?)";
    return false;
  }
  const std::string name = source.substr(NameStart(source));
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  for (int n = 1; n <= 1000; ++n) {
    std::string finalName = n == 1 ? name : name.substr(0, dot) + "_" + std::to_string(n) + name.substr(dot);
    std::string path = folder + kPathSeparator + finalName;
    if (PathExists(path)) {
      std::string there, ignored;
      if (ReadWholeFile(path, &there, &ignored) && there == data) {
        *delivered = path;
        return true;
      }
      continue;
    }
    std::string temp = folder + kPathSeparator + "." + finalName + "." + MachineName() + "-" +
                       std::to_string(CurrentProcessId()) + ".tmp";
    if (!WriteSyncedFile(temp, data, err)) return false;
    bool taken = false;
    if (RenameWithoutReplacing(temp, path, &taken, err)) {
      *delivered = path;
      return true;
    }
    if (!taken) return false;
  }
  *err = "no free name for " + name + " in " + folder;
  return false;
}

std::string OutboxQueuePath(const std::string& root) {
  return root + kPathSeparator + "Outbox" + kPathSeparator + "queue.txt";
}

struct Outbox::State {
  struct Batch {
    size_t untried = 0;
    std::function<void()> then;
  };
  struct Entry {
    std::string queue, folder, source;
    bool tried = false, told = false;
    std::shared_ptr<Batch> batch;
  };

  std::mutex mutex;
  std::condition_variable wake, ended;
  NoticeSink* notices;  // null once Stop gave up waiting
  std::vector<Entry> entries;
  std::vector<std::string> loadedQueues;
  std::vector<std::string> queuesTold;  // queue files told as unwritable
  std::chrono::milliseconds interval{60000};
  std::chrono::steady_clock::time_point nextRetry{};
  bool retryNow = false, stopping = false, finished = false;

  void Tell(const std::string& text) {
    if (notices) notices->Notice(text);
  }

  bool HasUntried() const {
    return std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return !e.tried; });
  }

  // Writes the entries of `queue` to it; the caller holds the mutex.
  void Save(const std::string& queue) {
    std::string text;
    for (const Entry& e : entries) {
      if (e.queue == queue) text += e.folder + "\t" + e.source + "\n";
    }
    std::string err;
    MakeDirectory(queue.substr(0, NameStart(queue) - 1));
    if (WriteFileAtomically(queue, text, &err)) return;
    if (std::find(queuesTold.begin(), queuesTold.end(), queue) != queuesTold.end()) return;
    queuesTold.push_back(queue);
    Tell("The delivery queue " + queue + " cannot be written (" + err +
         "): the waiting deliveries are retried while Harrow runs, but not after a restart.");
  }

  void Load(const std::string& queue) {
    if (std::find(loadedQueues.begin(), loadedQueues.end(), queue) != loadedQueues.end()) return;
    loadedQueues.push_back(queue);
    std::string text, err;
    if (!ReadWholeFile(queue, &text, &err)) return;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      Add(queue, line.substr(0, tab), line.substr(tab + 1), nullptr);
    }
  }

  void Add(const std::string& queue, const std::string& folder, const std::string& source,
           const std::shared_ptr<Batch>& batch) {
    for (const Entry& e : entries) {
      if (e.folder == folder && e.source == source) return;
    }
    entries.push_back(Entry{queue, folder, source, false, false, batch});
    if (batch) ++batch->untried;
  }

  void Run();
};

void Outbox::State::Run() {
  LowerThreadPriority();
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    bool due = retryNow || (!entries.empty() && now >= nextRetry && !stopping);
    if (!due && !HasUntried()) {
      if (stopping) break;
      if (entries.empty()) {
        wake.wait(lock);
      } else {
        wake.wait_until(lock, nextRetry);
      }
      continue;
    }
    retryNow = false;
    std::vector<Entry> round;
    for (const Entry& e : entries) {
      if (due || !e.tried) round.push_back(e);
    }
    lock.unlock();
    struct Outcome {
      bool delivered = false, gone = false;
      std::string err;
    };
    std::vector<Outcome> outcomes(round.size());
    for (size_t i = 0; i < round.size(); ++i) {
      std::string delivered;
      outcomes[i].delivered = DeliverFile(round[i].source, round[i].folder, &delivered, &outcomes[i].err,
                                          &outcomes[i].gone);
    }
    lock.lock();
    std::vector<std::string> touched;
    std::vector<std::function<void()>> thens;
    size_t late = 0;
    std::string lateFolder;
    for (size_t i = 0; i < round.size(); ++i) {
      auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.folder == round[i].folder && e.source == round[i].source;
      });
      if (it == entries.end()) continue;
      if (!it->tried && it->batch && --it->batch->untried == 0 && it->batch->then) thens.push_back(it->batch->then);
      it->tried = true;
      const Outcome& o = outcomes[i];
      if (o.delivered || o.gone) {
        if (o.gone) {
          Tell("The report file " + it->source + " is gone, so it cannot be delivered to " + it->folder +
               "; it is taken off the delivery queue.");
        } else if (it->told) {
          ++late;
          lateFolder = it->folder;
        }
        touched.push_back(it->queue);
        entries.erase(it);
      } else if (!it->told) {
        it->told = true;
        touched.push_back(it->queue);
        Tell("Cannot deliver " + it->source + " to the outbox " + it->folder + " (" + o.err +
             "): Harrow tries again every minute and at every start; " +
             Plural(entries.size(), "delivery waits.", "deliveries wait."));
      }
    }
    if (late > 0) {
      Tell(Plural(late, "waiting delivery", "waiting deliveries") + " reached " + lateFolder + "; " +
           (entries.empty() ? "none waits any more." : Plural(entries.size(), "delivery still waits.", "deliveries still wait.")));
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (const std::string& queue : touched) Save(queue);
    now = std::chrono::steady_clock::now();
    if (!entries.empty() && (due || nextRetry <= now)) nextRetry = now + interval;
    // Abandoned by Stop: whoever would hear of it may be gone.
    if (!notices) thens.clear();
    lock.unlock();
    for (const auto& then : thens) then();
    lock.lock();
  }
  finished = true;
  ended.notify_all();
}

Outbox::Outbox(NoticeSink& notices) : state_(std::make_shared<State>()) { state_->notices = &notices; }

Outbox::~Outbox() { Stop(std::chrono::seconds(10)); }

void Outbox::StartThread() {
  if (thread_.joinable() || state_->finished) return;
  std::shared_ptr<State> state = state_;
  thread_ = std::thread([state] { state->Run(); });
}

void Outbox::Resume(const std::string& root) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping) return;
    state_->Load(OutboxQueuePath(root));
    if (state_->entries.empty()) return;
    state_->retryNow = true;
  }
  StartThread();
  state_->wake.notify_all();
}

void Outbox::Deliver(const std::string& root, const std::string& folder, const std::vector<std::string>& files,
                     std::function<void()> then) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const std::string queue = OutboxQueuePath(root);
    state_->Load(queue);
    auto batch = std::make_shared<State::Batch>();
    batch->then = std::move(then);
    for (const std::string& file : files) state_->Add(queue, folder, file, batch);
    // Queued before the first try: a capture killed during it loses nothing.
    state_->Save(queue);
    if (batch->untried == 0 && batch->then) batch->then();
  }
  StartThread();
  state_->wake.notify_all();
}

size_t Outbox::Waiting() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->entries.size();
}

bool Outbox::Stop(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stopping = true;
  state_->wake.notify_all();
  if (!thread_.joinable()) return true;
  bool ended = state_->ended.wait_for(lock, wait, [this] { return state_->finished; });
  if (!ended) state_->notices = nullptr;
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    // Stuck on a share that does not answer: the queue file keeps the rest.
    thread_.detach();
  }
  return ended;
}

void Outbox::SetRetryInterval(std::chrono::milliseconds interval) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->interval = interval;
}
