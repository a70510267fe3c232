#pragma once

#include <QFont>
#include <QRect>

class QWidget;

/// Dialog units of a dialog font: a horizontal unit is a quarter of the
/// font's average character width, a vertical unit an eighth of its height,
/// as dialog templates measure their controls.
struct DialogUnits {
  int baseX = 0;  // average width of the letters A-Z and a-z, rounded
  int baseY = 0;  // character height

  /// The units of `font`.
  static DialogUnits Of(const QFont& font);
  /// A template rectangle in pixels.
  QRect Map(int x, int y, int width, int height) const;
  int MapX(int x) const;
  int MapY(int y) const;
};

/// The font dialog templates name ("MS Sans Serif" 8), or the nearest the
/// system has.
QFont DialogFont();

/// Places `control` at a template rectangle of `units`.
void Place(QWidget* control, const DialogUnits& units, int x, int y, int width, int height);
