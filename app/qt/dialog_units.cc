#include "app/qt/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

namespace {

// a * b / c rounded to the nearest integer, as templates are mapped.
int MulDivRound(int a, int b, int c) {
  long long p = static_cast<long long>(a) * b;
  return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

}  // namespace

DialogUnits DialogUnits::Of(const QFont& font) {
  QFontMetrics m(font);
  DialogUnits u;
  int width = m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  u.baseX = (width / 26 + 1) / 2;
  u.baseY = m.height();
  return u;
}

int DialogUnits::MapX(int x) const { return MulDivRound(x, baseX, 4); }
int DialogUnits::MapY(int y) const { return MulDivRound(y, baseY, 8); }

QRect DialogUnits::Map(int x, int y, int width, int height) const {
  int left = MapX(x), top = MapY(y);
  return QRect(left, top, MapX(x + width) - left, MapY(y + height) - top);
}

QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void Place(QWidget* control, const DialogUnits& units, int x, int y, int width, int height) {
  control->setGeometry(units.Map(x, y, width, height));
}
