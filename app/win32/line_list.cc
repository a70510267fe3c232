#include "app/win32/line_list.h"

void OwnerDataLineList::Attach(HWND listBox, HFONT font) {
  list_ = listBox;
  font_ = font;
  if (!list_) return;
  // An owner-drawn list keeps the row height it was created with when its
  // font changes; take the new font's.
  HDC dc = GetDC(list_);
  HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  if (old) SelectObject(dc, old);
  ReleaseDC(list_, dc);
  if (metrics.tmHeight > 0) SendMessageA(list_, LB_SETITEMHEIGHT, 0, metrics.tmHeight);
  // The widest character: no line is wider than its count of them.
  charWidth_ = metrics.tmMaxCharWidth;
  Publish();
}

void OwnerDataLineList::AddLine(const std::string& line) { store_.Append(line); }

void OwnerDataLineList::WidenFor(size_t first) {
  // Only a line that might be wider than the widest so far is measured: a
  // stream of short lines costs a comparison each.
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  int widest = extent_;
  for (size_t i = first; i < store_.Size(); ++i) {
    std::string_view line = store_.At(i);
    if (static_cast<long long>(line.size()) * charWidth_ <= widest) continue;
    if (!dc) {
      dc = GetDC(list_);
      old = font_ ? SelectObject(dc, font_) : nullptr;
    }
    SIZE size{};
    GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &size);
    if (size.cx > widest) widest = size.cx;
  }
  if (dc) {
    if (old) SelectObject(dc, old);
    ReleaseDC(list_, dc);
  }
  if (widest == extent_) return;
  // The list shows a horizontal scroll bar once a line is wider than it.
  extent_ = widest;
  SendMessageA(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent_) + 4, 0);
}

void OwnerDataLineList::Publish() {
  if (!list_ || store_.Size() == shown_) return;
  WidenFor(shown_);
  shown_ = store_.Size();
  SendMessageA(list_, LB_SETCOUNT, shown_, 0);
  if (shown_ > 0) SendMessageA(list_, LB_SETCURSEL, shown_ - 1, 0);
  // The list box scrolls the rows it had on show for the new count and the
  // selection, and under a stream of notifications (which come before any
  // WM_PAINT) wine leaves stale rows behind: every visible row is drawn
  // again now, once a batch.
  RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void OwnerDataLineList::Clear() {
  store_.Clear();
  shown_ = 0;
  extent_ = 0;
  if (list_) {
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    SendMessageA(list_, LB_SETHORIZONTALEXTENT, 0, 0);
  }
}

void OwnerDataLineList::DrawItem(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  if (item.itemID != static_cast<UINT>(-1) && item.itemID < store_.Size() &&
      (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    // Received bytes as they came, NUL and control bytes included: the
    // font shows what it has for them, the row never ends early.
    std::string_view line = store_.At(item.itemID);
    ExtTextOutA(dc, r.left + 2, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, line.data(), static_cast<UINT>(line.size()),
                nullptr);
    if (old) SelectObject(dc, old);
  }
  if ((item.itemState & ODS_FOCUS) && (item.itemAction & (ODA_FOCUS | ODA_DRAWENTIRE))) DrawFocusRect(dc, &r);
}
