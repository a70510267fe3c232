#include "app/win32/window_setup.h"

#include <algorithm>

#include "app/win32/resource.h"

bool AddAboutMenuEntry(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  char text[128] = {};
  if (!menu || LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text) <= 0 || !text[0]) return false;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  return AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text) != 0;
}

bool IsAboutCommand(WPARAM command) { return (LOWORD(command) & 0xFFF0) == IDM_ABOUTBOX; }

HFONT SetFontFace(HWND control, const char* face) {
  HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  if (!current) current = GetStockObject(DEFAULT_GUI_FONT);
  LOGFONTA description{};
  if (!GetObjectA(current, sizeof description, &description)) return nullptr;
  lstrcpynA(description.lfFaceName, face, LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&description);
  if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return font;
}

HICON ProgramIcon(bool small) {
  const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_SHARED));
}

void SetProgramIcons(HWND window) {
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(false)));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(true)));
}

void PaintMinimisedIcon(HWND window, HICON icon) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window, &client);
  const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (client.right - client.left - cx + 1) / 2, (client.bottom - client.top - cy + 1) / 2, icon);
  EndPaint(window, &ps);
}

void CentreOverOwner(HWND box) {
  // A dialog template's position counts from the owner's client area, so
  // a box at 0,0 covers the owner's corner and title bar.
  HWND owner = GetWindow(box, GW_OWNER);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(owner ? owner : box, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  const RECT area = monitor.rcWork;
  RECT around = area, own;
  if (owner && !IsIconic(owner)) GetWindowRect(owner, &around);
  if (!GetWindowRect(box, &own)) return;
  const int width = own.right - own.left, height = own.bottom - own.top;
  int x = around.left + (around.right - around.left - width) / 2;
  int y = around.top + (around.bottom - around.top - height) / 2;
  x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - width));
  y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - height));
  SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
