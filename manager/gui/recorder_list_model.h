// The recorder list as the list view sees it: no text of its own, each cell asked of the record
// at the same position of the recorder list when it is drawn.
#pragma once

#include <QAbstractTableModel>

#include "zel/core/recorder_list.h"

namespace zel::oxm {

class RecorderListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit RecorderListModel(core::RecorderList& list, QObject* parent = nullptr)
      : QAbstractTableModel(parent), list_(list) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The list changed as a whole (load, delete, move).
  void Reload();
  // A recorder was appended at the end.
  void Appended();
  // The record at `row` changed.
  void RowChanged(int row);

 private:
  core::RecorderList& list_;
  int rows_ = 0;  // rows the view knows of
};

}  // namespace zel::oxm
