#include "app/qt/notice_area.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

NoticeArea::NoticeArea(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("notices"));
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 244, 200));
  pal.setColor(QPalette::WindowText, QColor(120, 0, 0));
  setPalette(pal);

  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("notice_text"));
  text_->setWordWrap(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(text_, 1);
  row->addLayout(side);
  hide();
}

void NoticeArea::Notice(const std::string& text) { Notice(QString::fromLocal8Bit(text.c_str())); }

void NoticeArea::Notice(const QString& text) {
  pending_.push_back(text);
  ShowFirst();
}

void NoticeArea::Dismiss() {
  if (!pending_.isEmpty()) pending_.pop_front();
  ShowFirst();
}

void NoticeArea::ShowFirst() {
  bool wasShown = !isHidden();
  if (pending_.isEmpty()) {
    hide();
    if (wasShown) emit VisibilityChanged(false);
    return;
  }
  text_->setText(pending_.front());
  text_->setToolTip(pending_.front());
  count_->setText(pending_.size() > 1 ? QStringLiteral("1 of %1").arg(pending_.size()) : QString());
  show();
  raise();
  if (!wasShown) emit VisibilityChanged(true);
}
