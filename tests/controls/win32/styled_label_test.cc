#include "controls/win32/styled_label.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/label_rules.h"
#include "tests/controls/win32/paint_support.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGround = RGB(255, 0, 255);

// A label with exact black text on white.
void MakePlain(CStyledLabel& label, const std::string& text) {
  label.SetLogFont(PlainFont(19)).SetBackground(RGB(255, 255, 255)).SetForeground(kBlack).SetLabelText(text);
}

void SetStyle(HWND control, DWORD alignment) {
  LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
  SetWindowLongPtrA(control, GWL_STYLE, (style & ~static_cast<LONG_PTR>(0x21F)) | alignment);
}

TEST(StyledLabel, PaintsOnlyItsBackgroundWithoutText) {
  ControlHost host(SS_LEFT, 200, 10);
  CStyledLabel label;
  EXPECT_TRUE(label.SetLabelText("before attaching").LabelText().empty());  // no window yet: ignored
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  EXPECT_FALSE(label.SubclassWindow(host.Control()));
  // The template's own text is not painted: a plain grey control.
  label.SetBackground(kBlack, RGB(255, 255, 255), true);
  Capture gradient = Render(host.Control());
  EXPECT_EQ(RGB(0, 0, 0), gradient.At(1, 5));
  EXPECT_EQ(RGB(2, 2, 2), gradient.At(2, 5));
  EXPECT_EQ(RGB(252, 252, 252), gradient.At(199, 5));
  // The bands cover the full height, the bottom row too.
  EXPECT_EQ(RGB(252, 252, 252), gradient.At(199, 9));
  EXPECT_EQ(RGB(0, 0, 0), gradient.At(0, 0));

  label.SetBackground(RGB(1, 2, 3));
  EXPECT_EQ((Box{0, 0, 200, 10}), Render(host.Control()).BoxOf(RGB(1, 2, 3)));
  label.SetTransparentBackground(true);
  EXPECT_TRUE(Render(host.Control()).BoxOf(RGB(1, 2, 3)).Empty());
  EXPECT_EQ((Box{0, 0, 200, 10}), Render(host.Control()).BoxOf(kGround));
  EXPECT_TRUE(GetWindowLongPtrA(host.Control(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  // The flag cleared still keeps the transparent window style.
  label.SetTransparentBackground(false);
  EXPECT_TRUE(GetWindowLongPtrA(host.Control(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  EXPECT_EQ((Box{0, 0, 200, 10}), Render(host.Control()).BoxOf(RGB(1, 2, 3)));
}

TEST(StyledLabel, AlignsTheTextByItsStyle) {
  ControlHost host(SS_LEFT, 160, 40);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  MakePlain(label, "Hi");
  SetStyle(host.Control(), SS_RIGHT);
  Box right = Render(host.Control()).BoxOf(kBlack);
  SetStyle(host.Control(), SS_CENTER);
  Box centre = Render(host.Control()).BoxOf(kBlack);
  SetStyle(host.Control(), SS_LEFT);
  Box left = Render(host.Control()).BoxOf(kBlack);
  ASSERT_FALSE(left.Empty());
  EXPECT_LT(left.left, 5);
  EXPECT_GT(right.right, 150);
  EXPECT_NEAR(80, (centre.left + centre.right) / 2, 3);
  EXPECT_LT(centre.top, 10);  // top aligned
  SetStyle(host.Control(), SS_CENTERIMAGE);
  Box both = Render(host.Control()).BoxOf(kBlack);
  EXPECT_NEAR(20, (both.top + both.bottom) / 2, 4);  // centred both ways
  EXPECT_NEAR(80, (both.left + both.right) / 2, 3);
  // With a line break only horizontally.
  label.SetLabelText("Hi\r\nHo");
  EXPECT_LT(Render(host.Control()).BoxOf(kBlack).top, 10);
}

TEST(StyledLabel, EmbossDrawsAnOffsetSecondCopy) {
  ControlHost host(SS_LEFT, 160, 40);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  MakePlain(label, "Emboss");
  Box plain = Render(host.Control()).BoxOf(kBlack);
  ASSERT_FALSE(plain.Empty());
  label.SetEmbossColor(kRed).SetEmbossed(true, true);
  EXPECT_EQ(plain.Moved(1, 1), Render(host.Control()).BoxOf(kRed));
  label.SetEmbossed(true, false);
  EXPECT_EQ(plain.Moved(-1, -1), Render(host.Control()).BoxOf(kRed));
}

TEST(StyledLabel, RotatedTextTurnsAboutTheCentre) {
  ControlHost host(SS_LEFT, 120, 120);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  MakePlain(label, "Rotated");
  label.SetEmbossColor(kRed).SetEmbossed(true).SetAngle(90, true);
  EXPECT_EQ(900, label.LogFont().lfEscapement);
  Box box = Render(host.Control()).BoxOf(kBlack);
  ASSERT_FALSE(box.Empty());
  EXPECT_GT(box.Height(), box.Width());
  EXPECT_LE(box.bottom, 61);  // runs upwards from the centre
  EXPECT_NEAR(60, box.right, 4);  // the baseline passes through the centre
  EXPECT_TRUE(Render(host.Control()).BoxOf(kRed).Empty());  // no emboss when rotated
}

TEST(StyledLabel, BlinkingHidesTheTextInTheOffPhase) {
  ControlHost host(SS_LEFT, 160, 40);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  MakePlain(label, "Blink");
  label.SetForeground(kRed).SetBackground(kBlue);
  label.BlinkText(true);
  EXPECT_TRUE(label.BlinkTimerRunning());
  EXPECT_FALSE(label.BlinkPhase());
  EXPECT_TRUE(Render(host.Control()).BoxOf(kRed).Empty());
  SendMessageA(host.Control(), WM_TIMER, 1, 0);  // one tick of the blink timer
  EXPECT_TRUE(label.BlinkPhase());
  EXPECT_FALSE(Render(host.Control()).BoxOf(kRed).Empty());
  label.BlinkText(false);
  EXPECT_FALSE(label.BlinkTimerRunning());
  EXPECT_FALSE(Render(host.Control()).BoxOf(kRed).Empty());

  // A gradient leaves no solid brush: the off-phase text is black.
  label.SetBackground(RGB(255, 255, 255), RGB(255, 255, 255), true).BlinkText(true);
  Capture off = Render(host.Control());
  EXPECT_TRUE(off.BoxOf(kRed).Empty());
  EXPECT_FALSE(off.BoxOf(kBlack).Empty());
  label.BlinkText(false);
  // Background blinking runs the timer but keeps the text.
  label.BlinkBackground(true);
  EXPECT_TRUE(label.BlinkTimerRunning());
  EXPECT_FALSE(Render(host.Control()).BoxOf(kRed).Empty());
  label.BlinkBackground(false);
  EXPECT_FALSE(label.BlinkTimerRunning());
}

std::vector<std::string> opened;
void RecordOpen(const char* verb, const std::string& target) {
  opened.push_back(std::string(verb ? verb : "(default)") + " " + target);
}

TEST(StyledLabel, ClickOpensLinksOrNotifiesTheParent) {
  ControlHost host(SS_LEFT, 100, 20, 1021);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  CStyledLabel::LinkOpener shell = CStyledLabel::openLink;
  CStyledLabel::openLink = RecordOpen;
  opened.clear();

  label.SetLabelText("www.example.org").SetWebLink(true);
  EXPECT_TRUE(GetWindowLongPtrA(host.Control(), GWL_STYLE) & SS_NOTIFY);
  SendMessageA(host.Control(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  label.SetLinkTarget("https://example.org/help");
  SendMessageA(host.Control(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  label.SetLabelText("lab@example.org").SetMailtoLink(true);
  SendMessageA(host.Control(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ((std::vector<std::string>{"open www.example.org", "open https://example.org/help",
                                      "(default) mailto:lab@example.org"}),
            opened);

  label.SetWebLink(true, true);
  SendMessageA(host.Control(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ASSERT_EQ(1u, host.notifications.size());
  EXPECT_EQ(static_cast<UINT>(kLabelClickedCode), host.notifications[0].first);
  EXPECT_EQ(1021u, host.notifications[0].second);
  EXPECT_EQ(3u, opened.size());  // nothing opened

  label.SetWebLink(false);
  EXPECT_FALSE(GetWindowLongPtrA(host.Control(), GWL_STYLE) & SS_NOTIFY);
  CStyledLabel::openLink = shell;
}

TEST(StyledLabel, FontSettingsEditTheDescription) {
  ControlHost host(SS_LEFT, 100, 20);
  CStyledLabel label;
  ASSERT_TRUE(label.SubclassWindow(host.Control()));
  label.SetFaceName("A face name longer than the thirty-one characters of a font").SetBold(true).SetItalic(true);
  EXPECT_EQ(31u, std::string(label.LogFont().lfFaceName).size());
  EXPECT_EQ(FW_BOLD, label.LogFont().lfWeight);
  EXPECT_TRUE(label.LogFont().lfItalic);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  label.SetPointSize(15);
  EXPECT_EQ(-(dpi * 150 / 720), label.LogFont().lfHeight);
  EXPECT_EQ(0, label.LogFont().lfWidth);
}

TEST(StyledLabel, LetsGoWhenTheControlIsDestroyed) {
  CStyledLabel label;
  {
    ControlHost host(SS_LEFT, 100, 20);
    ASSERT_TRUE(label.SubclassWindow(host.Control()));
    label.BlinkText(true);
  }
  EXPECT_EQ(nullptr, label.GetSafeHwnd());
  EXPECT_FALSE(label.BlinkTimerRunning());
  EXPECT_TRUE(label.SetLabelText("gone").LabelText().empty());
}

}  // namespace
