#include "tests/controls/win32/paint_support.h"

#include <algorithm>
#include <utility>

namespace {

const char kHostClass[] = "HarrowTestHost";

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    auto* host = reinterpret_cast<ControlHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (host) host->notifications.emplace_back(header->code, static_cast<UINT_PTR>(wParam));
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterHostClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kHostClass;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  registered = RegisterClassA(&wc) != 0;
}

}  // namespace

COLORREF Capture::At(int x, int y) const {
  uint32_t p = pixels_[static_cast<size_t>(y) * width_ + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Box Capture::BoxOf(COLORREF colour) const {
  Box box{width_, height_, 0, 0};
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      if (At(x, y) == colour) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box.Empty() ? Box{} : box;
}

ControlHost::ControlHost(DWORD style, int width, int height, int id) {
  RegisterHostClass();
  parent_ = CreateWindowExA(0, kHostClass, "host", WS_POPUP, 0, 0, width + 40, height + 40, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  control_ = CreateWindowExA(0, "Static", "template text", WS_CHILD | WS_VISIBLE | style, 0, 0, width, height,
                             parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                             nullptr);
}

ControlHost::~ControlHost() {
  if (parent_) DestroyWindow(parent_);
}

Capture Render(HWND control, COLORREF ground) {
  RECT client;
  GetClientRect(control, &client);
  const int width = client.right, height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(ground);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const auto* first = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> pixels(first, first + static_cast<size_t>(width) * height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return Capture(width, height, std::move(pixels));
}

LOGFONTA PlainFont(int pixelHeight) {
  LOGFONTA font{};
  font.lfHeight = -pixelHeight;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = NONANTIALIASED_QUALITY;
  lstrcpynA(font.lfFaceName, "Tahoma", LF_FACESIZE);
  return font;
}
