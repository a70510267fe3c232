#pragma once

#include <QAbstractListModel>
#include <QBasicTimer>

#include "app/line_store.h"
#include "app/receive_path.h"

/// The received-lines list: every line in a LineStore, shown through a
/// list view. Lines become rows in batches (at most every kBatchMilliseconds,
/// or at Publish), so a fast stream costs one view update per batch rather
/// than one per line; each batch selects its last line, like adding and
/// selecting each line would.
class LineListModel : public QAbstractListModel, public LineList {
  Q_OBJECT

 public:
  static constexpr int kBatchMilliseconds = 50;

  explicit LineListModel(QObject* parent = nullptr);

  /// Adds the line; the row appears with the next batch.
  void AddLine(const std::string& line) override;
  /// Shows the lines added so far as rows now.
  void Publish();
  /// Removes every line, shown or not.
  void Clear();

  const LineStore& Store() const { return store_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  /// A batch was shown; `last` is its newest row.
  void LinesShown(int last);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  LineStore store_;
  int shown_ = 0;
  QBasicTimer batch_;
};
