// The desktop application: runs the capture window until it closes.
//
//   harrow          captures from the port named in the settings
//   harrow --demo   captures from the built-in reader simulator, with its
//                   settings and data in a private temporary folder
//   harrow --help, harrow --version   answer without opening a display
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/qt/capture_dialog.h"
#include "app/qt/close_on_signals.h"
#include "app/demo.h"
#include "app/harrow_version.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "Usage: harrow [--demo] [-platform NAME]\n"
    "Captures a laboratory reader's reports in a window: every line received on\n"
    "the serial port is shown and written to the traffic log, and each finished\n"
    "report is exported as .txt and .xls below the model's root folder.\n"
    "\n"
    "Options:\n"
    "  --demo            capture from the built-in reader simulator, with the\n"
    "                    settings and reports in a private temporary folder\n"
    "  -platform NAME    the Qt platform plug-in to use (xcb, wayland, offscreen)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "The port, the instrument model and its root folder are chosen in the\n"
    "Settings dialog and stored in $XDG_CONFIG_HOME/Kestrel.ini (default\n"
    "~/.config). harrow-capture does the same without a window.\n";

}  // namespace

int main(int argc, char** argv) {
  bool demo = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--demo") == 0) {
      demo = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("harrow " HARROW_VERSION_TEXT);
      return 0;
    } else if (argv[i][0] == '-' && std::strncmp(argv[i], "-platform", 9) != 0) {
      std::fprintf(stderr, "harrow: unknown option %s (see --help)\n", argv[i]);
      return 2;
    }
  }
  // A write past a file-size limit fails like one on a full disk and is
  // reported; it must not end the capture.
  IgnoreFileSizeLimitSignal();
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Harrow"));
  // Lets a Wayland desktop match the window to the installed menu entry.
  app.setDesktopFileName(QStringLiteral("org.harrow.Harrow"));

  DemoSetup demoSetup;
  if (demo) {
    std::string err;
    if (!demoSetup.Start(argv[0], &err)) {
      std::fprintf(stderr, "harrow: %s\n", err.c_str());
      return 1;
    }
  }

  SystemClock clock;
  CaptureDialog window(clock);
  CloseOnSignals(window);
  window.Initialise();
  if (window.CloseRequested()) return 0;
  window.exec();
  return 0;
}
