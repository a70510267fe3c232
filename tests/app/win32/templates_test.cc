// The three dialog templates as the program creates them: every control
// with its id, class, text, style and rectangle in dialog units, and what
// the windows add at initialisation.
//
// Where wine differs from Windows: wine has no "MS Sans Serif" bitmap font
// and substitutes its own sans serif face, so the dialog-unit size in pixels
// differs from a Windows PC's; the rectangles are therefore compared through
// MapDialogRect of the dialog itself, which holds on both.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/file_version.h"
#include "app/harrow_version.h"
#include "app/win32/about_dialog.h"
#include "app/win32/capture_window.h"
#include "app/win32/dialog.h"
#include "app/win32/resource.h"

namespace {

// One control of a compiled dialog template.
struct TemplateItem {
  DWORD style = 0;
  int id = 0;
  RECT units{};  // x, y, width, height
};

// The parts of a compiled dialog template the tests look at.
struct Template {
  DWORD style = 0, exStyle = 0;
  RECT units{};
  std::wstring faceName;
  int pointSize = 0;
  std::vector<TemplateItem> items;
};

const WORD* SkipSzOrOrd(const WORD* p) {
  if (*p == 0xFFFF) return p + 2;
  while (*p) ++p;
  return p + 1;
}

const WORD* AlignDword(const WORD* p) {
  return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
}

// Reads template `id` of the test program's resources, in either of the
// two layouts the resource compiler writes.
Template ReadTemplate(int id) {
  Template t;
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!found) return t;
  const auto* p = static_cast<const WORD*>(LockResource(LoadResource(self, found)));
  const bool extended = p[0] == 1 && p[1] == 0xFFFF;
  DWORD count;
  auto dword = [](const WORD* at) { return static_cast<DWORD>(at[0] | (at[1] << 16)); };
  if (extended) {
    t.exStyle = dword(p + 4);
    t.style = dword(p + 6);
    count = p[8];
    p += 9;
  } else {
    t.style = dword(p);
    t.exStyle = dword(p + 2);
    count = p[4];
    p += 5;
  }
  t.units = RECT{static_cast<short>(p[0]), static_cast<short>(p[1]), static_cast<short>(p[2]),
                 static_cast<short>(p[3])};
  p = SkipSzOrOrd(SkipSzOrOrd(SkipSzOrOrd(p + 4)));  // menu, class, caption
  if (t.style & DS_SETFONT) {
    t.pointSize = p[0];
    p += extended ? 3 : 1;  // weight, italic and character set in the extended layout
    t.faceName = reinterpret_cast<const wchar_t*>(p);
    p = SkipSzOrOrd(p);
  }
  for (DWORD i = 0; i < count; ++i) {
    p = AlignDword(p);
    TemplateItem item;
    if (extended) {
      item.style = dword(p + 4);
      p += 6;
    } else {
      item.style = dword(p);
      p += 4;
    }
    item.units = RECT{static_cast<short>(p[0]), static_cast<short>(p[1]), static_cast<short>(p[2]),
                      static_cast<short>(p[3])};
    p += 4;
    if (extended) {
      item.id = static_cast<int>(dword(p));
      p += 2;
    } else {
      item.id = static_cast<short>(p[0]);
      p += 1;
    }
    p = SkipSzOrOrd(SkipSzOrOrd(p));  // class, text
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + p[0]);  // creation data
    t.items.push_back(item);
  }
  return t;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

struct Expected {
  int id;
  const char* className;
  const char* text;
  DWORD style;  // the style bits that must be set (WS_CHILD implied)
  bool visible;
  bool enabled;
  RECT rect;  // x, y, width, height in dialog units
};

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string TextOf(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

// The pixels of a template rectangle: the dialog manager maps the place and
// the size each on its own, so the right edge is left + mapped width.
RECT InDialogUnits(HWND dialog, const RECT& units) {
  RECT r = units;
  MapDialogRect(dialog, &r);
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

bool IsIconControl(HWND control) {
  return ClassOf(control) == "Static" && (GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

RECT PlaceOf(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void ExpectRect(const RECT& want, const RECT& got, const std::string& what) {
  EXPECT_EQ(want.left, got.left) << what;
  EXPECT_EQ(want.top, got.top) << what;
  EXPECT_EQ(want.right, got.right) << what;
  EXPECT_EQ(want.bottom, got.bottom) << what;
}

// Template `templateId` and the children of `dialog` made from it, in
// creation order, against `expected`: the styles from the template (some
// controls move theirs at creation: a list box and an edit control turn the
// border into a client edge, a combo box hands the scroll bar to its list),
// the rest from the windows.
void ExpectControls(HWND dialog, int templateId, const std::vector<Expected>& expected) {
  const Template compiled = ReadTemplate(templateId);
  EXPECT_EQ(L"MS Sans Serif", compiled.faceName);
  EXPECT_EQ(8, compiled.pointSize);
  ASSERT_EQ(expected.size(), compiled.items.size());
  std::vector<HWND> children;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  ASSERT_EQ(expected.size(), children.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    const TemplateItem& item = compiled.items[i];
    const std::string what = std::string("template control ") + std::to_string(e.id);
    EXPECT_EQ(e.id, item.id) << what;
    EXPECT_EQ(e.style | WS_CHILD, item.style & (e.style | WS_CHILD)) << what << std::hex << " style " << item.style;
    EXPECT_EQ(e.visible, (item.style & WS_VISIBLE) != 0) << what;
    EXPECT_EQ(e.enabled, (item.style & WS_DISABLED) == 0) << what;
    EXPECT_EQ(e.rect.left, item.units.left) << what;
    EXPECT_EQ(e.rect.top, item.units.top) << what;
    EXPECT_EQ(e.rect.right, item.units.right) << what;
    EXPECT_EQ(e.rect.bottom, item.units.bottom) << what;
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    HWND c = children[i];
    const std::string what = std::string("control ") + std::to_string(e.id) + " \"" + e.text + "\"";
    EXPECT_EQ(e.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(c)))) << what;
    EXPECT_STREQ(e.className, ClassOf(c).c_str()) << what;
    if (std::string(e.className) != "ComboBox" && std::string(e.className) != "Edit" && !IsIconControl(c)) {
      EXPECT_EQ(e.text, TextOf(c)) << what;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(c, GWL_STYLE));
    EXPECT_EQ(e.visible, (style & WS_VISIBLE) != 0) << what;
    EXPECT_EQ(e.enabled, (style & WS_DISABLED) == 0) << what;
    RECT want = InDialogUnits(dialog, e.rect);
    RECT got = PlaceOf(dialog, c);
    if (ClassOf(c) == "ComboBox") {
      // A combo box's window is its closed height; the template's height is
      // that of the box with its list dropped.
      SendMessageA(c, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&got));
      MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&got), 2);
      // wine reports the dropped list a little shorter than the template's
      // height; the template's own height is checked above.
      if (UnderWine()) want.bottom = got.bottom;
    }
    if (IsIconControl(c)) {
      // An icon control takes the icon's size; only its place is the template's.
      want.right = want.left + GetSystemMetrics(SM_CXICON);
      want.bottom = want.top + GetSystemMetrics(SM_CYICON);
    }
    ExpectRect(want, got, what);
  }
}

// The template's size and the dialog's client area made from it.
void ExpectClientSize(HWND dialog, int templateId, int width, int height) {
  const Template compiled = ReadTemplate(templateId);
  EXPECT_EQ(width, compiled.units.right);
  EXPECT_EQ(height, compiled.units.bottom);
  RECT client;
  GetClientRect(dialog, &client);
  RECT want = InDialogUnits(dialog, RECT{0, 0, width, height});
  EXPECT_EQ(want.right, client.right);
  EXPECT_EQ(want.bottom, client.bottom);
}

TEST(Templates, AboutBox) {
  AboutDialog about("Version " HARROW_VERSION_TEXT);
  HWND dialog = about.Create();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("About Harrow", TextOf(dialog));
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE));
  EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_POPUP), style & (WS_CAPTION | WS_SYSMENU | WS_POPUP));
  ExpectClientSize(dialog, IDD_ABOUTBOX, 235, 74);
  ExpectControls(dialog, IDD_ABOUTBOX, {
      {IDC_STATIC, "Static", "", SS_ICON, true, true, {11, 17, 20, 20}},
      {IDC_VERSION_LINE, "Static", "Harrow Version " HARROW_VERSION_TEXT, SS_NOPREFIX, true, true, {40, 10, 119, 8}},
      {IDC_STATIC, "Static", "Capture tool for laboratory readers", SS_LEFT, true, true, {40, 25, 119, 8}},
      {IDOK, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, true, true, {178, 7, 50, 14}},
  });
  EXPECT_NE(0, SendMessageA(GetWindow(dialog, GW_CHILD), STM_GETICON, 0, 0));
}

TEST(Templates, AboutBoxShowsTheProgramsOwnVersion) {
  // The test program carries the same version resource as harrow.exe.
  AboutDialog about(GetVersionText());
  HWND dialog = about.Create();
  ASSERT_NE(nullptr, dialog);
  char line[64] = {};
  GetDlgItemTextA(dialog, IDC_VERSION_LINE, line, sizeof line);
  EXPECT_STREQ("Harrow Version " HARROW_VERSION_TEXT, line);
  AboutDialog unreadable("");
  ASSERT_NE(nullptr, unreadable.Create());
  GetDlgItemTextA(unreadable.GetSafeHwnd(), IDC_VERSION_LINE, line, sizeof line);
  EXPECT_STREQ("Harrow ", line);
}

TEST(Templates, CaptureWindow) {
  CaptureWindow window;
  HWND dialog = window.Create();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("Harrow", TextOf(dialog));
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE));
  const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  EXPECT_EQ(wanted, style & wanted);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE));
  EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
  EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE);
  ExpectClientSize(dialog, IDD_CAPTURE, 343, 339);
  ExpectControls(dialog, IDD_CAPTURE, {
      {IDC_RECONNECT, "Button", "(Re)Connect", BS_PUSHBUTTON, true, true, {30, 1, 50, 14}},
      {IDC_SETTINGS, "Button", "Settings", BS_PUSHBUTTON, true, true, {145, 1, 50, 14}},
      {IDC_ABOUT_INFO, "Button", "About Info", BS_PUSHBUTTON, true, true, {249, 1, 50, 14}},
      {IDCANCEL, "Button", "Close", BS_PUSHBUTTON, false, true, {298, 1, 38, 14}},
      {IDC_RECEIVED_LABEL, "Static", "Received:", SS_LEFT, false, true, {14, 6, 34, 8}},
      {IDC_FRAME, "Static", "", SS_LEFT, true, true, {6, 19, 330, 274}},
      {IDC_LINES, "ListBox", "", WS_VSCROLL | WS_BORDER, true, true, {13, 26, 315, 259}},
      {IDC_EXPORT_RESET, "Button", "Export and Reset Data", BS_PUSHBUTTON, false, false, {6, 274, 79, 15}},
      {IDC_MODEL_LABEL, "Static", "Glowmeter", SS_CENTER, true, true, {103, 287, 54, 11}},
      {IDC_EXPORT_EXCEL, "Button", "Export Data to Excel Format", BS_PUSHBUTTON, false, false, {232, 287, 104, 16}},
      {IDC_CLEAR_SCREEN, "Button", "Clear Screen", BS_PUSHBUTTON, true, true, {9, 300, 53, 14}},
      {IDC_EXPORT_NOTE, "Static", "Data is exported automatically when the test ends into:", SS_RIGHT, true, true,
       {141, 303, 192, 8}},
      {IDC_XLS_HINT, "Static", " (C:\\Excel_6XXX\\YY_MM_DD_HH_MM_SS.xls)", SS_RIGHT, true, true, {76, 315, 257, 9}},
      {IDC_TXT_HINT, "Static", " (C:\\Excel_6XXX\\YY_MM_DD_HH_MM_SS.txt)", SS_RIGHT, true, true, {76, 324, 257, 9}},
  });
  // The list is unsorted and holds no data of its own: the window draws
  // each row from its line store.
  const LONG_PTR listStyle = GetWindowLongPtrA(GetDlgItem(dialog, IDC_LINES), GWL_STYLE);
  EXPECT_FALSE(listStyle & LBS_SORT);
  EXPECT_EQ(LBS_NODATA | LBS_OWNERDRAWFIXED, listStyle & (LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS));

  // Initialisation: the about entry, the icons, the list font, the label.
  HMENU menu = GetSystemMenu(dialog, FALSE);
  ASSERT_NE(nullptr, menu);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, count - 1));
  char entry[64] = {};
  GetMenuStringA(menu, count - 1, entry, sizeof entry, MF_BYPOSITION);
  EXPECT_STREQ("&About Kestrel...", entry);
  EXPECT_EQ(MF_SEPARATOR, GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_NE(0, SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
  EXPECT_NE(0, SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0));

  HFONT listFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_LINES, WM_GETFONT, 0, 0));
  EXPECT_EQ(window.ListFont(), listFont);
  LOGFONTA list{}, dialogFont{};
  GetObjectA(listFont, sizeof list, &list);
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof dialogFont, &dialogFont);
  EXPECT_STREQ("Lucida Console", list.lfFaceName);
  EXPECT_EQ(dialogFont.lfHeight, list.lfHeight);  // the size stays the dialog font's

  EXPECT_EQ(GetDlgItem(dialog, IDC_MODEL_LABEL), window.ModelLabel().GetSafeHwnd());
  EXPECT_EQ(GetDlgItem(dialog, IDC_FRAME), window.Frame().GetSafeHwnd());
  EXPECT_EQ(FW_BOLD, window.ModelLabel().LogFont().lfWeight);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(ERROR, GetWindowRgn(GetDlgItem(dialog, IDC_FRAME), region));
  DeleteObject(region);

  // Clear Screen empties the list.
  SendDlgItemMessageA(dialog, IDC_LINES, LB_SETCOUNT, 1, 0);
  ASSERT_EQ(1, SendDlgItemMessageA(dialog, IDC_LINES, LB_GETCOUNT, 0, 0));
  SendDlgItemMessageA(dialog, IDC_CLEAR_SCREEN, BM_CLICK, 0, 0);
  EXPECT_EQ(0, SendDlgItemMessageA(dialog, IDC_LINES, LB_GETCOUNT, 0, 0));
  // The close box ends the window.
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_EQ(nullptr, window.GetSafeHwnd());
}

TEST(Templates, Settings) {
  Dialog settings(IDD_SETTINGS);
  HWND dialog = settings.Create();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("Settings", TextOf(dialog));
  ExpectClientSize(dialog, IDD_SETTINGS, 216, 142);
  ExpectControls(dialog, IDD_SETTINGS, {
      {IDC_STATIC, "Static", "Com Port:", SS_LEFT, true, true, {7, 8, 68, 8}},
      {IDC_PORT, "ComboBox", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, true, true, {85, 7, 59, 81}},
      {IDC_STATIC, "Static", "Device Connected:", SS_LEFT, true, true, {7, 36, 66, 8}},
      {IDC_MODEL, "ComboBox", "", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, true, true, {85, 33, 59, 59}},
      {IDC_ROOT_GROUP, "Button", "Device Root Folder", BS_GROUPBOX, true, true, {7, 62, 202, 52}},
      {IDC_ROOT, "Edit", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, true, true, {12, 74, 191, 14}},
      {IDC_BROWSE, "Button", "Browse", BS_PUSHBUTTON, true, true, {83, 94, 50, 14}},
      {IDCANCEL, "Button", "Cancel", BS_PUSHBUTTON, true, true, {7, 121, 50, 14}},
      {IDOK, "Button", "OK", BS_DEFPUSHBUTTON, true, true, {159, 121, 50, 14}},
  });
  HWND port = GetDlgItem(dialog, IDC_PORT), model = GetDlgItem(dialog, IDC_MODEL);
  EXPECT_EQ(CBS_DROPDOWNLIST, GetWindowLongPtrA(port, GWL_STYLE) & 3);
  EXPECT_EQ(CBS_DROPDOWN, GetWindowLongPtrA(model, GWL_STYLE) & 3);
  EXPECT_FALSE(GetWindowLongPtrA(model, GWL_STYLE) & CBS_SORT);
  // The model list comes from the template's initialisation data.
  std::vector<std::string> models;
  for (int i = 0; i < SendMessageA(model, CB_GETCOUNT, 0, 0); ++i) {
    char text[16] = {};
    SendMessageA(model, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    models.push_back(text);
  }
  EXPECT_EQ((std::vector<std::string>{"6310", "6350", "6120", "6480"}), models);
  EXPECT_EQ(0, SendMessageA(port, CB_GETCOUNT, 0, 0));
  // Cancel ends it.
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  PumpMessages();
  EXPECT_EQ(nullptr, settings.GetSafeHwnd());
}

TEST(Templates, InitialisationDataNamesOnlyExistingControls) {
  // The capture window has no such data: nothing to apply, nothing missing.
  CaptureWindow window;
  ASSERT_NE(nullptr, window.Create());
  EXPECT_TRUE(ApplyDialogInitData(window.GetSafeHwnd(), GetModuleHandleA(nullptr), IDD_CAPTURE));
  // The settings data applied to a window without the model box.
  EXPECT_FALSE(ApplyDialogInitData(window.GetSafeHwnd(), GetModuleHandleA(nullptr), IDD_SETTINGS));
}

}  // namespace
