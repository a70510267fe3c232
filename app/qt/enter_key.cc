#include "app/qt/enter_key.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

// A button that is not auto-default passes Enter on to its dialog, which
// takes it as OK; this filter keeps it at the button that has the focus.
class EnterClicks : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!enter || mods != Qt::NoModifier || !button || !button->isEnabled()) return false;
    button->click();
    return true;
  }
};

}  // namespace

void ClickOnEnter(QPushButton* button) { button->installEventFilter(new EnterClicks(button)); }
