#pragma once

#include <QFrame>
#include <QStringList>

#include "platform/clock.h"
#include "platform/notice.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

/// Where the main window shows notices while it captures: a coloured panel
/// in place of the path hints. Showing a notice returns at once (no nested
/// event loop, so a notice raised in the middle of an export can never let
/// another serial notification run), and every notice stays until the user
/// dismisses it. The newest is on show, with the time it came, whole: the
/// text wraps and scrolls and can be selected, since its last line may name
/// where a report was saved instead. Older ones wait behind it.
class NoticeArea : public QFrame, public NoticeSink {
  Q_OBJECT

 public:
  explicit NoticeArea(Clock& clock, QWidget* parent = nullptr);

  /// Queues a notice and shows it.
  void Notice(const std::string& text) override;
  void Notice(const QString& text);
  /// Drops the notice on show, which brings the next older one; hides the
  /// panel after the last one.
  void Dismiss();
  /// The notices not yet dismissed, oldest first.
  const QStringList& Pending() const { return pending_; }
  /// The text on show: the newest notice after its time.
  QString Shown() const;

 signals:
  /// The panel appeared or went away.
  void VisibilityChanged(bool shown);

 private:
  void ShowNewest();

  Clock& clock_;
  QStringList pending_;
  QStringList times_;  // when each pending notice came
  QPlainTextEdit* text_;
  QLabel* count_;
  QPushButton* dismiss_;
};
