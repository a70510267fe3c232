#include "app/qt/notice_area.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

NoticeArea::NoticeArea(Clock& clock, QWidget* parent) : QFrame(parent), clock_(clock) {
  setObjectName(QStringLiteral("notices"));
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 244, 200));
  pal.setColor(QPalette::WindowText, QColor(120, 0, 0));
  pal.setColor(QPalette::Base, QColor(255, 244, 200));
  pal.setColor(QPalette::Text, QColor(120, 0, 0));
  setPalette(pal);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("notice_text"));
  text_->setReadOnly(true);
  text_->setFrameStyle(QFrame::NoFrame);
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  text_->setPalette(pal);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("notice_count"));
  dismiss_ = new QPushButton(QStringLiteral("Dismiss"), this);
  dismiss_->setObjectName(QStringLiteral("notice_dismiss"));
  dismiss_->setAutoDefault(false);
  connect(dismiss_, &QPushButton::clicked, this, &NoticeArea::Dismiss);

  auto* side = new QVBoxLayout;
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(dismiss_);
  side->addWidget(count_, 0, Qt::AlignHCenter);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 1, 2, 1);
  row->addWidget(text_, 1);
  row->addLayout(side);
  hide();
}

void NoticeArea::Notice(const std::string& text) { Notice(QString::fromLocal8Bit(text.c_str())); }

void NoticeArea::Notice(const QString& text) {
  std::tm now = clock_.LocalNow();
  char time[16];
  std::strftime(time, sizeof time, "%H:%M:%S", &now);
  pending_.push_back(text);
  times_.push_back(QString::fromLatin1(time));
  ShowNewest();
}

void NoticeArea::Dismiss() {
  if (!pending_.isEmpty()) {
    pending_.pop_back();
    times_.pop_back();
  }
  ShowNewest();
}

QString NoticeArea::Shown() const { return isHidden() ? QString() : text_->toPlainText(); }

void NoticeArea::ShowNewest() {
  bool wasShown = !isHidden();
  if (pending_.isEmpty()) {
    hide();
    if (wasShown) emit VisibilityChanged(false);
    return;
  }
  text_->setPlainText(times_.back() + QStringLiteral("  ") + pending_.back());
  count_->setText(pending_.size() > 1 ? QStringLiteral("%1 older").arg(pending_.size() - 1) : QString());
  show();
  raise();
  if (!wasShown) emit VisibilityChanged(true);
}
