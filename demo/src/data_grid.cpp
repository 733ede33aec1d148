#include "data_grid.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::demo {

namespace {

bool IsNumericType(int type) {
  switch (type) {
    case adSmallInt: case adInteger: case adSingle: case adDouble: case adCurrency: case adDecimal:
    case adTinyInt: case adUnsignedTinyInt: case adUnsignedSmallInt: case adUnsignedInt: case adBigInt:
    case adUnsignedBigInt: case adNumeric:
      return true;
    default:
      return false;
  }
}

}  // namespace

void RecordsetModel::Bind(const Ref<Recordset>& recordset) {
  Ref<RowStore> rows;
  std::vector<FieldInfo> fields;
  if (recordset) {
    rows = recordset->Rows();
    fields = rows->Fields();
  }
  beginResetModel();
  rows_ = std::move(rows);
  fields_ = std::move(fields);
  endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->RowCount());
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QString RecordsetModel::CellText(int row, int column) const {
  const Variant& value = rows_->At(static_cast<size_t>(row), static_cast<size_t>(column));
  if (value.IsNull()) return {};
  try {
    return QString::fromStdString(ToText(value));
  } catch (const Error&) {
    return {};  // binary data has no text to show
  }
}

QString RecordsetModel::FieldName(int column) const {
  return QString::fromStdString(fields_.at(static_cast<size_t>(column)).name);
}

bool RecordsetModel::IsNumericColumn(int column) const {
  return IsNumericType(fields_.at(static_cast<size_t>(column)).type);
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !rows_) return {};
  if (role == Qt::DisplayRole) return CellText(index.row(), index.column());
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue((IsNumericColumn(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  return {};
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return FieldName(section);
  return QString();  // record selectors carry no number
}

DataGrid::DataGrid(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);

  caption_ = new QLabel(this);
  caption_->setObjectName("caption");
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  caption_->setMinimumHeight(18);
  caption_->setTextFormat(Qt::PlainText);

  model_ = new RecordsetModel(this);
  table_ = new QTableView(this);
  table_->setObjectName("cells");
  table_->setModel(model_);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setFrameStyle(QFrame::NoFrame);
  table_->verticalHeader()->setDefaultSectionSize(17);
  table_->verticalHeader()->setFixedWidth(14);
  table_->horizontalHeader()->setHighlightSections(false);
  setFocusProxy(table_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(table_);
}

void DataGrid::SetDataSource(const Ref<Recordset>& recordset) {
  model_->Bind(recordset);
  source_ = recordset;
  if (recordset) table_->resizeColumnsToContents();
}

void DataGrid::SetCaption(const QString& caption) { caption_->setText(caption); }

QString DataGrid::Caption() const { return caption_->text(); }

void DataGrid::SetFonts(const QFont& headings, const QFont& cells) {
  setFont(cells);
  caption_->setFont(cells);
  table_->setFont(cells);
  table_->horizontalHeader()->setFont(headings);
}

}  // namespace vendrel::demo
