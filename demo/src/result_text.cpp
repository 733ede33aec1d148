#include "result_text.h"

#include <algorithm>
#include <vector>

#include "data_grid.h"

namespace vendrel::demo {

namespace {

std::string Padded(const QString& text, int width, bool right) {
  const QString fill(std::max<qsizetype>(0, width - text.size()), ' ');
  return (right ? fill + text : text + fill).toStdString();
}

}  // namespace

std::string AlignedTable(const RecordsetModel& model, int maxRows) {
  const int columns = model.columnCount();
  const int rows = maxRows < 0 ? model.rowCount() : std::min(maxRows, model.rowCount());
  std::vector<int> widths(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    qsizetype w = model.FieldName(c).size();
    for (int r = 0; r < rows; ++r) w = std::max(w, model.CellText(r, c).size());
    widths[static_cast<size_t>(c)] = static_cast<int>(w);
  }
  std::string out;
  auto line = [&](auto cell) {
    std::string text;
    for (int c = 0; c < columns; ++c) {
      if (c) text += "  ";
      text += cell(c);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out += text + "\n";
  };
  line([&](int c) { return Padded(model.FieldName(c), widths[static_cast<size_t>(c)], model.IsNumericColumn(c)); });
  line([&](int c) { return std::string(static_cast<size_t>(widths[static_cast<size_t>(c)]), '-'); });
  for (int r = 0; r < rows; ++r)
    line([&](int c) { return Padded(model.CellText(r, c), widths[static_cast<size_t>(c)], model.IsNumericColumn(c)); });
  return out;
}

std::string TabSeparated(const RecordsetModel& model) {
  const int columns = model.columnCount();
  std::string out;
  auto line = [&](auto cell) {
    for (int c = 0; c < columns; ++c) {
      if (c) out += '\t';
      out += cell(c).toStdString();
    }
    out += '\n';
  };
  line([&](int c) { return model.FieldName(c); });
  for (int r = 0; r < model.rowCount(); ++r) line([&](int c) { return model.CellText(r, c); });
  return out;
}

}  // namespace vendrel::demo
