// harrow-capture: the capture without a window. Replays recorded bytes or a
// traffic log through the receive path and the report collector, or
// captures from a serial port, with the traffic log and the exports working
// as in the desktop application.

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture_session.h"
#include "app/cut_short_exports.h"
#include "app/harrow_version.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "tools/capture_help.h"
#include "tools/capture_loop.h"
#include "tools/capture_options.h"
#include "tools/capture_service.h"
#include "tools/live_capture.h"
#include "tools/replay.h"
#include "tools/verify.h"

namespace {

/// The help, with the pieces that name this system's own things in place.
std::string Usage() {
  const CaptureHelpTexts& system = PlatformHelpTexts();
  return std::string(
             "Usage: harrow-capture [OPTION]...\n"
             "Captures a laboratory reader's reports without a window: every received\n"
             "line is printed and written to the traffic log, and each finished report\n"
             "is exported as .txt and .xls below the model's root folder.\n"
             "\n") +
         system.liveStop +
         "\n"
         "Options:\n"
         "  --replay FILE       feed the bytes of FILE (\"-\" for standard input) as if\n"
         "                      they arrived on the port, in chunks of at most 100 bytes;\n"
         "                      a report still pending at the end is exported\n"
         "  --replay-log FILE   run the lines recorded in a traffic log through the\n"
         "                      report recognition again and export the reports anew\n"
         "                      (after a wrong model setting or a lost export); the\n"
         "                      traffic log itself is not written\n" +
         system.replayStop + system.portOption +
         "  --list-ports        list the machine's serial ports and exit\n"
         "  --model TEXT        use model TEXT (6120, 6310, 6350, 6480) for this run,\n"
         "                      as the stored \"DevType\"; a text naming no model\n"
         "                      collects lines without laying them out\n"
         "  --root DIR          use DIR as the model's root folder for this run\n"
         "  --quiet             do not print the received lines\n"
         "  --verify [ROOT]     check the reports below ROOT (default: the model's\n"
         "                      root folder) against its Manifest/manifest.jsonl and\n"
         "                      exit; prints per report \"ok NAME\", or \"altered NAME\n"
         "                      FILE\" (its hash differs) and \"missing NAME FILE\", then\n"
         "                      \"unrecorded FILE\" for a report file no line names and\n"
         "                      \"chain broken at line N\" or \"damaged line N\" for a\n"
         "                      manifest line edited or removed\n" +
         std::string(system.service) +
         "  --help              show this help and exit\n"
         "  --version           show the version and exit\n"
         "\n"
         "--model, --root and --port change nothing in the stored settings.\n" +
         system.files +
         "\n"
         "At start, unfinished temporary files that a capture killed while exporting\n"
         "left in the Text and Excel folders are removed, and the files it never\n"
         "wrote are named.\n"
         "\n"
         "Exit status: 0 when the capture or replay ended normally, 1 when the port,\n"
         "a file or the event loop failed or a report was not saved where it belongs\n"
         "or a received line is missing from the traffic log (the last line printed\n"
         "says so), 2 for a wrong command line, 4 when --verify found anything but\n"
         "\"ok\", 3 when a\n" +
         system.interrupted;
}

constexpr int kExitInterrupted = 3;

/// Tells how far an interrupted replay got and, last, what did not reach
/// its folder or the log; the exit status of the replay (a loss before an
/// interruption: a report not saved matters more than input not read).
int ReplayEnd(const ReplayProgress& progress, const char* unit, size_t lines, CaptureSession& session,
              NoticeSink& notices) {
  if (progress.interrupted) {
    std::fprintf(stderr, "harrow-capture: replay interrupted: %s (%zu lines shown)%s\n",
                 ReplayProgressText(progress, unit).c_str(), lines,
                 progress.flushedPending ? "; the report in hand was exported" : "");
  }
  if (LossStatus(session, notices) != 0) return 1;
  return progress.interrupted ? kExitInterrupted : 0;
}

bool TakeValue(int argc, char** argv, int* i, std::string* value) {
  if (*i + 1 >= argc) {
    std::fprintf(stderr, "harrow-capture: %s needs a value\n", argv[*i]);
    return false;
  }
  *value = argv[++*i];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past a file-size limit (ulimit -f) fails like one on a full
  // disk and is reported; it must not end the capture.
  IgnoreFileSizeLimitSignal();
  // Started with a standard stream closed (">&-"), the traffic log would
  // take its descriptor and every printed line would land in it; a reader
  // of standard output that goes away ("| head") must not end the capture.
  OpenMissingStandardStreams();
  IgnoreBrokenPipeSignal();
  // Time stamps in the traffic log follow the user's locale.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");

  CaptureOptions options;
  std::string model, root;
  bool haveModel = false, haveRoot = false;
  // What the installed service is to be started with.
  std::vector<std::string> serviceArgs;
  bool otherOptions = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    bool ok = true;
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      std::fputs(Usage().c_str(), stdout);
      return 0;
    } else if (!std::strcmp(arg, "--version")) {
      std::puts("harrow-capture " HARROW_VERSION_TEXT);
      return 0;
    } else if (!std::strcmp(arg, "--replay")) {
      ok = TakeValue(argc, argv, &i, &options.replayFile);
    } else if (!std::strcmp(arg, "--replay-log")) {
      ok = TakeValue(argc, argv, &i, &options.replayLogFile);
    } else if (!std::strcmp(arg, "--port")) {
      std::string given, err;
      ok = TakeValue(argc, argv, &i, &given);
      if (ok && !PortOptionName(given, &options.port, &err)) {
        std::fprintf(stderr, "harrow-capture: %s\n", err.c_str());
        return 2;
      }
      if (ok) serviceArgs.insert(serviceArgs.end(), {"--port", given});
    } else if (!std::strcmp(arg, "--model")) {
      ok = haveModel = TakeValue(argc, argv, &i, &model);
      if (ok) serviceArgs.insert(serviceArgs.end(), {"--model", model});
    } else if (!std::strcmp(arg, "--root")) {
      ok = haveRoot = TakeValue(argc, argv, &i, &root);
      if (ok) serviceArgs.insert(serviceArgs.end(), {"--root", root});
    } else if (!std::strcmp(arg, "--list-ports")) {
      options.listPorts = otherOptions = true;
    } else if (!std::strcmp(arg, "--quiet")) {
      options.quiet = true;
    } else if (!std::strcmp(arg, "--verify")) {
      options.verify = otherOptions = true;
      if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) options.verifyRoot = argv[++i];
    } else if (!std::strcmp(arg, "--service")) {
      options.service = true;
    } else if (!std::strcmp(arg, "--install-service")) {
      options.installService = true;
    } else if (!std::strcmp(arg, "--remove-service")) {
      options.removeService = true;
    } else {
      std::fprintf(stderr, "harrow-capture: unknown option %s (see --help)\n", arg);
      return 2;
    }
    if (!ok) return 2;
  }
  if (!options.replayFile.empty() && !options.replayLogFile.empty()) {
    std::fprintf(stderr, "harrow-capture: --replay and --replay-log exclude each other\n");
    return 2;
  }
  int serviceModes = options.service + options.installService + options.removeService;
  if (serviceModes > 1 || (serviceModes == 1 && (otherOptions || !options.replayFile.empty() ||
                                                 !options.replayLogFile.empty()))) {
    std::fprintf(stderr, "harrow-capture: --service, --install-service and --remove-service take no other "
                         "option but --port, --model and --root\n");
    return 2;
  }
  if (options.removeService) return RemoveService();
  if (options.installService) return InstallService(serviceArgs);
  // Before anything reads a setting: the service's come from the machine.
  if (options.service) {
    UseMachineFolders();
    options.quiet = true;
  }

  if (haveModel) OverrideSetting("DevType", model);
  if (haveRoot) OverrideSetting(ReadDevType() + "_Root", root);
  if (!options.port.empty()) OverrideSetting("ComPort", options.port);

  if (options.listPorts) return ListPorts();
  // Before the clean-up below: a check changes nothing.
  if (options.verify) return RunVerify(options.verifyRoot.empty() ? ReadRootFolder("") : options.verifyRoot);
  if (options.service) return RunService(options);
  StderrNoticeSink notices("harrow-capture");
  CleanUpCutShortExports(CaptureSession::TrafficLogPath(), notices);
  if (options.replayFile.empty() && options.replayLogFile.empty()) return RunLiveCapture(options, notices);

  std::string err;
  if (!CatchStopRequests(&err)) {
    std::fprintf(stderr, "harrow-capture: cannot take over the stop signals: %s\n", err.c_str());
    return 1;
  }
  SystemClock clock;
  StdoutLineList list(options.quiet, notices);
  CaptureSession session(clock, notices, list);
  ReplayProgress progress;
  StopCheck stop = [] { return StopRequested(); };

  if (!options.replayLogFile.empty()) {
    session.CheckSettings();
    session.Collector().RebuildHandler(ReadModel());
    bool ok = ReplayTrafficLog(options.replayLogFile, session, list, notices, stop, &progress, &err);
    list.Finish();
    StopHandled();
    if (!ok) {
      std::fprintf(stderr, "harrow-capture: traffic log: %s\n", err.c_str());
      return 1;
    }
    return ReplayEnd(progress, "recorded lines", list.Count(), session, notices);
  }

  session.HandleReportsOnThread();
  session.ApplySettings();
  std::FILE* in = stdin;
  UseBinaryStandardInput();
  if (options.replayFile != "-") {
    in = std::fopen(options.replayFile.c_str(), "rb");
    if (!in) {
      std::fprintf(stderr, "harrow-capture: cannot open %s: %s\n", options.replayFile.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  long long size = 0;
  if (in != stdin && FileSize(options.replayFile, &size)) progress.total = static_cast<unsigned long long>(size);
  bool ok = ReplayStream(in, session, stop, &progress, &err);
  list.Finish();
  StopHandled();
  if (in != stdin) std::fclose(in);
  if (!ok) {
    std::fprintf(stderr, "harrow-capture: reading %s failed: %s\n", options.replayFile.c_str(),
                 err.c_str());
    return 1;
  }
  return ReplayEnd(progress, "bytes", list.Count(), session, notices);
}
