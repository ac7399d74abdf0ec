// The grid's view of tblConfig: one line per row (the row being inserted
// included), three columns "Source Printer", "Destination Printer" and
// "Backup Printer" over the fields Source, Dest and Backup, read-only.
//
// The model does not own the table; the window owns both and tells the
// model of every table change (Refresh). GUI thread only.
#pragma once

#include "formats/virtual_table.h"

#include <QAbstractTableModel>

namespace velmora::config::app {

class ConfigTableModel final : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit ConfigTableModel(const formats::TVirtualTable& table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Rows added or removed, fields replaced: everything is read again.
  // Otherwise only the values are.
  void refresh(formats::TTableChange change);

private:
  const formats::TVirtualTable& table_;
  int rows_ = 0;
};

} // namespace velmora::config::app
