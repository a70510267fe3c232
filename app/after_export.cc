#include "app/after_export.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/platform.h"
#include "platform/process_runner.h"

bool SplitCommand(const std::string& command, std::vector<std::string>* argv, std::string* err) {
  argv->clear();
  std::string part;
  bool inPart = false, quoted = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      inPart = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inPart) argv->push_back(part);
      part.clear();
      inPart = false;
    } else {
      part += c;
      inPart = true;
    }
  }
  if (quoted) {
    *err = "a quote is not closed";
    return false;
  }
  if (inPart) argv->push_back(part);
  return true;
}

struct AfterExport::State {
  std::mutex mutex;
  std::condition_variable wake, ended;
  NoticeSink* notices;  // null once Stop gave up waiting
  std::deque<AfterExportJob> jobs;
  std::string running;  // the report whose command runs now
  std::chrono::milliseconds limit = kTimeLimit;
  bool stopping = false, finished = false;

  void RunOne(const AfterExportJob& job, std::chrono::milliseconds timeLimit);
  void Run();
};

void AfterExport::State::RunOne(const AfterExportJob& job, std::chrono::milliseconds timeLimit) {
  std::vector<std::string> argv;
  std::string err;
  ProcessResult result;
  bool split = true;
  if (PathExists(job.command)) {
    // The settings file drops the quotes around a whole value, so a quoted
    // program path with blanks and no arguments arrives bare.
    argv = {job.command};
  } else {
    split = SplitCommand(job.command, &argv, &err);
  }
  if (split && argv.empty()) {
    split = false;
    err = "no program is named";
  }
  if (!split) {
    result.startError = err;
  } else {
    argv.insert(argv.end(), job.files.begin(), job.files.end());
    std::string joined;
    for (const std::string& file : job.files) joined += (joined.empty() ? "" : "\n") + file;
    result = RunProcess(argv, {{"HARROW_REPORT", job.report}, {"HARROW_MODEL", job.model}, {"HARROW_FILES", joined}},
                        timeLimit);
  }
  std::string what;
  if (result.outcome == ProcessResult::kNotStarted) {
    what = "could not be started: " + result.startError;
  } else if (result.outcome == ProcessResult::kTimedOut) {
    what = "was stopped after " + std::to_string(timeLimit.count() / 1000) + " s (exit status " +
           std::to_string(result.exitStatus) + ")";
  } else if (result.exitStatus != 0) {
    what = "ended with exit status " + std::to_string(result.exitStatus);
  } else {
    return;
  }
  if (!result.errorHead.empty()) what += "; its error output began:\n" + result.errorHead;
  std::lock_guard<std::mutex> lock(mutex);
  if (notices) notices->Notice("The command after export (AfterExport=" + job.command + ") for the report " +
                               job.report + " " + what);
}

void AfterExport::State::Run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stopping || !jobs.empty(); });
    if (jobs.empty()) break;
    AfterExportJob job = std::move(jobs.front());
    jobs.pop_front();
    running = job.report;
    std::chrono::milliseconds timeLimit = limit;
    lock.unlock();
    RunOne(job, timeLimit);
    lock.lock();
    running.clear();
  }
  finished = true;
  ended.notify_all();
}

AfterExport::AfterExport(NoticeSink& notices) : state_(std::make_shared<State>()) { state_->notices = &notices; }

AfterExport::~AfterExport() { Stop(std::chrono::seconds(10)); }

void AfterExport::Run(AfterExportJob job) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping) return;
    state_->jobs.push_back(std::move(job));
  }
  if (!thread_.joinable()) {
    std::shared_ptr<State> state = state_;
    thread_ = std::thread([state] { state->Run(); });
  }
  state_->wake.notify_all();
}

bool AfterExport::Stop(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stopping = true;
  state_->wake.notify_all();
  if (!thread_.joinable()) return true;
  bool ended = state_->ended.wait_for(lock, wait, [this] { return state_->finished; });
  if (!ended) {
    std::string left = state_->running.empty() ? "" : "the report " + state_->running + " (still running)";
    for (const AfterExportJob& job : state_->jobs) left += (left.empty() ? "the report " : ", ") + job.report;
    if (state_->notices)
      state_->notices->Notice("The command after export had not ended when the capture ended; left for " + left +
                              ".");
    state_->jobs.clear();
    state_->notices = nullptr;
  }
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
  return ended;
}

void AfterExport::SetTimeLimit(std::chrono::milliseconds limit) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->limit = limit;
}
