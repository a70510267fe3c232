// harrow.exe: captures a laboratory reader's reports in the capture window,
// from the port named in the settings, until the window closes.
//   harrow.exe           the capture window
//   harrow.exe --about   the about box alone

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "app/win32/about_dialog.h"
#include "app/win32/capture_dialog.h"
#include "platform/clock.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (commandLine && std::strstr(commandLine, "--about")) {
    AboutDialog::Show();
    return 0;
  }
  SystemClock clock;
  // The window connects, applies the settings and captures until it is
  // closed; closing exports a pending report and records the port.
  CaptureDialog window(clock);
  window.DoModal(nullptr);
  return 0;
}
