#include "controls/win32/round_frame.h"

bool CRoundFrame::SubclassWindow(HWND control) {
  if (GetSafeHwnd() || !IsWindow(control)) return false;
  RECT client;
  GetClientRect(control, &client);
  HRGN region = CreateRoundRectRgn(client.left, client.top, client.right, client.bottom, kRegionEllipse,
                                   kRegionEllipse);
  // The window owns the region from here on.
  if (!SetWindowRgn(control, region, TRUE)) DeleteObject(region);
  InvalidateRect(control, nullptr, TRUE);
  return CStyledLabel::SubclassWindow(control);
}

void CRoundFrame::Paint(HDC dc) {
  HWND hwnd = GetSafeHwnd();
  if (!hwnd) return;
  RECT client;
  GetClientRect(hwnd, &client);
  const int l = client.left, t = client.top, r = client.right, b = client.bottom;
  const int rx = kRadius, ry = kRadius;
  HPEN pen = CreatePen(PS_SOLID, kPenWidth, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  // Straight edges joined by counter-clockwise quarter arcs.
  MoveToEx(dc, l, t + ry - 1, nullptr);
  LineTo(dc, l, b - ry);
  Arc(dc, l, b - 2 * ry, l + 2 * rx, b, l, b - ry, l + rx, b);
  MoveToEx(dc, l + rx, b, nullptr);
  LineTo(dc, r - rx, b);
  Arc(dc, r - 2 * rx, b - 2 * ry, r, b, r - rx, b, r, b - ry);
  MoveToEx(dc, r, b - ry, nullptr);
  LineTo(dc, r, t + ry - 1);
  Arc(dc, r - 2 * rx, t, r, t + 2 * ry, r, t + ry, r - rx, t);
  MoveToEx(dc, r - rx, t, nullptr);
  LineTo(dc, l + rx, t);
  Arc(dc, l, t, l + 2 * rx, t + 2 * ry, l + rx, t, l, t + ry);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}
