#include "controls/qt/styled_label.h"

#include <QDesktopServices>
#include <QImage>
#include <QObject>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "tests/app/qt/gui_test_support.h"

namespace {

QImage Render(QWidget& w) {
  QImage img(w.size(), QImage::Format_RGB32);
  img.fill(Qt::magenta);
  w.render(&img);
  return img;
}

// The bounding box of the pixels of one colour.
QRect BoxOf(const QImage& img, QColor colour) {
  QRect box;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixelColor(x, y) == colour) box |= QRect(x, y, 1, 1);
  return box;
}

// A label with exact (non-antialiased) black text on white.
void MakePlain(CStyledLabel& label, const QString& text) {
  QFont f = label.LabelFont();
  f.setStyleStrategy(QFont::NoAntialias);
  f.setPointSize(14);
  label.SetLogFont(f).SetBackground(Qt::white).SetForeground(Qt::black).SetLabelText(text);
  label.resize(160, 40);
}

TEST(StyledLabel, PaintsOnlyItsBackgroundWithoutText) {
  CStyledLabel label;
  label.resize(200, 10);
  label.SetBackground(Qt::black, Qt::white, true);
  QImage img = Render(label);
  EXPECT_EQ(QColor(0, 0, 0), img.pixelColor(1, 5));
  EXPECT_EQ(QColor(2, 2, 2), img.pixelColor(2, 5));
  EXPECT_EQ(QColor(252, 252, 252), img.pixelColor(199, 5));
  label.SetBackground(QColor(1, 2, 3));
  EXPECT_EQ(QRect(0, 0, 200, 10), BoxOf(Render(label), QColor(1, 2, 3)));
  label.SetTransparentBackground(true);
  EXPECT_EQ(QRect(), BoxOf(Render(label), QColor(1, 2, 3)));
}

TEST(StyledLabel, AlignsTheTextByItsStyle) {
  CStyledLabel label;
  MakePlain(label, "Hi");
  label.SetStyle(kSsRight);
  QRect right = BoxOf(Render(label), Qt::black);
  label.SetStyle(kSsCenter);
  QRect centre = BoxOf(Render(label), Qt::black);
  label.SetStyle(kSsLeft);
  QRect left = BoxOf(Render(label), Qt::black);
  ASSERT_FALSE(left.isEmpty());
  EXPECT_LT(left.left(), 5);
  EXPECT_GT(right.right(), 150);
  EXPECT_NEAR(80, centre.center().x(), 3);
  EXPECT_LT(centre.top(), 10);  // top aligned
  label.SetStyle(kSsCenterImage);
  EXPECT_NEAR(20, BoxOf(Render(label), Qt::black).center().y(), 4);  // centred both ways
}

TEST(StyledLabel, EmbossDrawsAnOffsetSecondCopy) {
  CStyledLabel label;
  MakePlain(label, "Emboss");
  QRect plain = BoxOf(Render(label), Qt::black);
  label.SetEmbossColor(Qt::red).SetEmbossed(true, true);
  EXPECT_EQ(plain.translated(1, 1), BoxOf(Render(label), Qt::red));
  label.SetEmbossed(true, false);
  EXPECT_EQ(plain.translated(-1, -1), BoxOf(Render(label), Qt::red));
}

TEST(StyledLabel, RotatedTextTurnsAboutTheCentre) {
  CStyledLabel label;
  MakePlain(label, "Rotated");
  label.resize(120, 120);
  label.SetEmbossColor(Qt::red).SetEmbossed(true).SetAngle(90, true);
  QRect box = BoxOf(Render(label), Qt::black);
  ASSERT_FALSE(box.isEmpty());
  EXPECT_GT(box.height(), box.width());
  EXPECT_LE(box.bottom(), 60);  // runs upwards from the centre
  EXPECT_NEAR(60, box.right(), 4);  // the baseline passes through the centre
  EXPECT_EQ(QRect(), BoxOf(Render(label), Qt::red));  // no emboss when rotated
}

TEST(StyledLabel, BlinkingHidesTheTextInTheOffPhase) {
  CStyledLabel label;
  MakePlain(label, "Blink");
  label.SetForeground(Qt::red).SetBackground(QColor(0, 0, 255));
  label.BlinkText(true);
  EXPECT_TRUE(label.BlinkTimerRunning());
  EXPECT_FALSE(label.BlinkPhase());
  EXPECT_EQ(QRect(), BoxOf(Render(label), Qt::red));
  ASSERT_EVENTUALLY(label.BlinkPhase());
  EXPECT_FALSE(BoxOf(Render(label), Qt::red).isEmpty());
  label.BlinkText(false);
  EXPECT_FALSE(label.BlinkTimerRunning());

  // A gradient leaves no solid brush: the off-phase text is black.
  label.SetBackground(Qt::white, Qt::white, true).BlinkText(true);
  QImage off = Render(label);
  EXPECT_EQ(QRect(), BoxOf(off, Qt::red));
  EXPECT_FALSE(BoxOf(off, Qt::black).isEmpty());
  label.BlinkText(false);
  // Background blinking runs the timer but keeps the text.
  label.BlinkBackground(true);
  EXPECT_TRUE(label.BlinkTimerRunning());
  EXPECT_FALSE(BoxOf(Render(label), Qt::red).isEmpty());
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public slots:
  void Open(const QUrl& url) { urls.push_back(url.toString()); }

 public:
  QStringList urls;
};

TEST(StyledLabel, ClickOpensLinksOrNotifiesTheParent) {
  UrlCatcher catcher;
  for (const char* scheme : {"http", "https", "mailto"})
    QDesktopServices::setUrlHandler(scheme, &catcher, "Open");
  CStyledLabel label;
  label.setObjectName("1021");
  label.resize(100, 20);
  label.SetLabelText("www.example.org").SetWebLink(true);
  QTest::mouseClick(&label, Qt::LeftButton);
  label.SetLinkTarget("https://example.org/help");
  QTest::mouseClick(&label, Qt::LeftButton);
  label.SetLabelText("lab@example.org").SetMailtoLink(true);
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_EQ(QStringList({"http://www.example.org", "https://example.org/help", "mailto:lab@example.org"}),
            catcher.urls);

  QSignalSpy spy(&label, &CStyledLabel::Notify);
  label.SetWebLink(true, true);
  QTest::mouseClick(&label, Qt::LeftButton);
  ASSERT_EQ(1, spy.count());
  EXPECT_EQ(1021, spy[0][0].toInt());
  EXPECT_EQ(0x8200, spy[0][1].toInt());
  EXPECT_EQ(3, catcher.urls.size());  // nothing opened
  for (const char* scheme : {"http", "https", "mailto"}) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace

#include "styled_label_test.moc"
