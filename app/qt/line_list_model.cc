#include "app/qt/line_list_model.h"

#include <QTimerEvent>

LineListModel::LineListModel(QObject* parent) : QAbstractListModel(parent) {}

void LineListModel::AddLine(const std::string& line) {
  store_.Append(line);
  if (!batch_.isActive()) batch_.start(kBatchMilliseconds, this);
}

void LineListModel::Publish() {
  batch_.stop();
  int total = static_cast<int>(store_.Size());
  if (total == shown_) return;
  beginInsertRows(QModelIndex(), shown_, total - 1);
  shown_ = total;
  endInsertRows();
  emit LinesShown(total - 1);
}

void LineListModel::Clear() {
  batch_.stop();
  beginResetModel();
  store_.Clear();
  shown_ = 0;
  endResetModel();
}

int LineListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  // The view cuts a line too long for it with "...": its tooltip shows it
  // whole.
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() || index.row() >= shown_) return {};
  // Received bytes are shown as they came, one character per byte.
  std::string_view line = store_.At(static_cast<size_t>(index.row()));
  return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

void LineListModel::timerEvent(QTimerEvent* event) {
  if (event->timerId() == batch_.timerId())
    Publish();
  else
    QAbstractListModel::timerEvent(event);
}
