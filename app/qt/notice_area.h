#pragma once

#include <QFrame>
#include <QStringList>

#include "platform/notice.h"

class QLabel;
class QPushButton;

/// Where the main window shows notices while it captures: a coloured panel
/// in place of the path hints. Showing a notice returns at once (no nested
/// event loop, so a notice raised in the middle of an export can never let
/// another serial notification run), and every notice stays until the user
/// dismisses it; several are kept in order.
class NoticeArea : public QFrame, public NoticeSink {
  Q_OBJECT

 public:
  explicit NoticeArea(QWidget* parent = nullptr);

  /// Queues a notice and shows the panel.
  void Notice(const std::string& text) override;
  void Notice(const QString& text);
  /// Drops the notice on show; hides the panel after the last one.
  void Dismiss();
  /// The notices not yet dismissed, oldest first.
  const QStringList& Pending() const { return pending_; }

 signals:
  /// The panel appeared or went away.
  void VisibilityChanged(bool shown);

 private:
  void ShowFirst();

  QStringList pending_;
  QLabel* text_;
  QLabel* count_;
  QPushButton* dismiss_;
};
