// harrow.exe: the capture window on the program's dialog templates.
// "--about" shows the about box alone.

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "app/win32/about_dialog.h"
#include "app/win32/capture_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (commandLine && std::strstr(commandLine, "--about")) {
    AboutDialog::Show();
    return 0;
  }
  CaptureWindow window;
  window.DoModal(nullptr);
  return 0;
}
