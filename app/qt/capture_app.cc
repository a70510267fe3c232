// The desktop application: runs the capture window until it closes.
//
//   harrow          captures from the port named in the settings
//   harrow --demo   captures from the built-in reader simulator, with its
//                   settings and data in a private temporary folder
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/qt/capture_dialog.h"
#include "app/qt/close_on_signals.h"
#include "app/demo.h"

namespace {

void Usage() { std::fprintf(stderr, "usage: harrow [--demo]\n"); }

}  // namespace

int main(int argc, char** argv) {
  bool demo = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--demo") == 0) {
      demo = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage();
      return 0;
    } else if (argv[i][0] == '-' && std::strncmp(argv[i], "-platform", 9) != 0) {
      Usage();
      return 2;
    }
  }
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Harrow"));

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
