#include "config/app/config_table_model.h"

#include "config/printer_configuration.h"

#include <QFont>

#include <array>

namespace velmora::config::app {

namespace {

constexpr const auto& kColumns = kGridColumns;

} // namespace

ConfigTableModel::ConfigTableModel(const formats::TVirtualTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(static_cast<int>(table.visibleRowCount())) {
}

int ConfigTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int ConfigTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant ConfigTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ ||
      static_cast<std::size_t>(index.row()) >= table_.visibleRowCount())
    return {};
  const formats::TVirtualField* field =
      table_.FindField(kColumns.at(static_cast<std::size_t>(index.column())).field);
  if (!field)
    return {};
  return QString::fromStdString(table_.cellText(static_cast<std::size_t>(index.row()),
                                                static_cast<std::size_t>(field->FieldNo() - 1)));
}

QVariant ConfigTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(kColumns.size()))
    return QAbstractTableModel::headerData(section, orientation, role);
  if (role == Qt::DisplayRole) {
    const std::string_view title = kColumns.at(static_cast<std::size_t>(section)).title;
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  }
  if (role == Qt::FontRole) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return {};
}

void ConfigTableModel::refresh(formats::TTableChange change) {
  const int rows = static_cast<int>(table_.visibleRowCount());
  if (change == formats::TTableChange::tcDataChanged || rows != rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return;
  }
  if (rows_ > 0)
    emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1), {Qt::DisplayRole});
}

} // namespace velmora::config::app
