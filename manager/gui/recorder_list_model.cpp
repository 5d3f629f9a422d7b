#include "recorder_list_model.h"

#include "zel/core/recorder_rules.h"

namespace zel::oxm {

int RecorderListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int RecorderListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(core::RecorderListColumns().size());
}

QVariant RecorderListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  if (!index.isValid() || index.row() >= rows_) return {};
  const std::optional<RecorderRecord> r = list_.Get(static_cast<std::size_t>(index.row()));
  if (!r) return {};
  return QString::fromStdString(core::RecorderListCell(*r, index.column()));
}

QVariant RecorderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const auto& columns = core::RecorderListColumns();
  if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns.size()))
    return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(columns[section].header);
  return {};
}

void RecorderListModel::Reload() {
  beginResetModel();
  rows_ = static_cast<int>(list_.Count());
  endResetModel();
}

void RecorderListModel::Appended() {
  const int now = static_cast<int>(list_.Count());
  if (now <= rows_) return Reload();
  beginInsertRows({}, rows_, now - 1);
  rows_ = now;
  endInsertRows();
}

void RecorderListModel::RowChanged(int row) {
  if (row < 0 || row >= rows_) return;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

}  // namespace zel::oxm
