#pragma once
// The data grid: a caption line above a table of cells, bound to a recordset.
// Bound, it shows one row per record and one column per field, headed by the
// field names, Null as an empty cell; unbound, it shows no data.

#include <QAbstractTableModel>
#include <QFrame>
#include <QString>
#include <vector>

#include "vendrel/dataaccess/recordset.h"

class QLabel;
class QTableView;

namespace vendrel::demo {

// The cells of a recordset as text, read from its rows (the recordset's own
// position is left where it is).
class RecordsetModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  // Nothing unbinds. A closed recordset cannot be bound (3704).
  void Bind(const Ref<Recordset>& recordset);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // The text a cell shows: empty for Null.
  QString CellText(int row, int column) const;
  QString FieldName(int column) const;
  bool IsNumericColumn(int column) const;

 private:
  Ref<RowStore> rows_;
  std::vector<FieldInfo> fields_;
};

class DataGrid : public QFrame {
 public:
  explicit DataGrid(QWidget* parent = nullptr);

  // The grid's data source: a recordset, or nothing.
  void SetDataSource(const Ref<Recordset>& recordset);
  const Ref<Recordset>& DataSource() const noexcept { return source_; }

  void SetCaption(const QString& caption);
  QString Caption() const;

  // Fonts of the column headings and of the cells (the caption uses the cells' font).
  void SetFonts(const QFont& headings, const QFont& cells);

  const RecordsetModel& Model() const noexcept { return *model_; }
  QTableView* Table() const noexcept { return table_; }

 private:
  QLabel* caption_;
  QTableView* table_;
  RecordsetModel* model_;
  Ref<Recordset> source_;
};

}  // namespace vendrel::demo
