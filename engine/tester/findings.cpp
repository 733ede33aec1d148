#include "findings.h"

#include <sstream>
#include <stdexcept>

namespace vendrel::tester {

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') out += "\\\\";
    else if (c == '|') out += "\\|";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == ' ' && (i == 0 || i + 1 == text.size())) out += "\\s";
    else out += c;
  }
  return out;
}

std::string Unescaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 's' ? ' ' : c;
  }
  return out;
}

// The cells of a line as written, split at each "|" that is not escaped.
std::vector<std::string> RawCells(std::string_view line) {
  std::vector<std::string> cells(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      cells.back() += line.substr(i, 2);
      ++i;
    } else if (line[i] == '|') {
      cells.emplace_back();
    } else {
      cells.back() += line[i];
    }
  }
  return cells;
}

}  // namespace

std::string FindingText(const Finding& finding, const std::string& comment) {
  std::string out;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) out += "# " + line + "\n";
  for (const TestTable& table : finding.database) {
    out += "\ntable " + table.name + "\n";
    for (size_t i = 0; i < table.columns.size(); ++i)
      out += (i ? "|" : "") + table.columns[i].name + " " + std::string(table.columns[i].type->name);
    out += "\n";
    for (const auto& row : table.rows) {
      for (size_t i = 0; i < row.size(); ++i) {
        // A text that reads "Null" is escaped, so that it stays a text.
        const std::string cell = CellText(row[i]);
        out += (i ? "|" : "") + (row[i].IsString() && cell == "Null" ? std::string("\\Null") : Escaped(cell));
      }
      out += "\n";
    }
  }
  out += "\ncheck " + finding.check.law + "\n";
  for (const std::string& term : finding.check.terms) out += "terms " + term + "\n";
  for (const std::string& sql : finding.check.sql) out += "sql " + sql + "\n";
  if (finding.check.approximate) out += "approximate\n";
  if (finding.check.anySpelling) out += "any spelling\n";
  return out;
}

Finding ParseFinding(const std::string& text) {
  Finding finding;
  std::istringstream in(text);
  std::string line;
  TestTable* table = nullptr;
  bool columnsRead = false;
  int number = 0;
  auto fail = [&](const std::string& why) { throw std::runtime_error("line " + std::to_string(number) + ": " + why); };
  while (std::getline(in, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.starts_with('#')) continue;
    if (line.empty()) {
      table = nullptr;
      continue;
    }
    if (line.starts_with("table ")) {
      finding.database.push_back(TestTable{line.substr(6), {}, {}});
      table = &finding.database.back();
      columnsRead = false;
    } else if (table && !columnsRead) {
      for (const std::string& cell : RawCells(line)) {
        const std::string column = Unescaped(cell);
        const size_t space = column.find(' ');
        const FieldType* type = space == std::string::npos ? nullptr : FieldTypeNamed(column.substr(space + 1));
        if (!type) fail("a column needs a name and a type: " + column);
        table->columns.push_back({column.substr(0, space), type});
      }
      columnsRead = true;
    } else if (table) {
      const std::vector<std::string> cells = RawCells(line);
      if (cells.size() != table->columns.size()) fail("not one value per column");
      std::vector<Variant> row;
      for (size_t i = 0; i < cells.size(); ++i)
        row.push_back(cells[i] == "Null" ? Variant::Null() : CellValue(Unescaped(cells[i]), *table->columns[i].type));
      table->rows.push_back(std::move(row));
    } else if (line.starts_with("check ")) {
      finding.check.law = line.substr(6);
    } else if (line.starts_with("terms ")) {
      finding.check.terms.push_back(line.substr(6));
    } else if (line.starts_with("sql ")) {
      finding.check.sql.push_back(line.substr(4));
    } else if (line == "approximate") {
      finding.check.approximate = true;
    } else if (line == "any spelling") {
      finding.check.anySpelling = true;
    } else {
      fail("expected table, check, terms, sql, approximate or any spelling");
    }
  }
  if (finding.check.law.empty() || finding.check.sql.empty()) fail("a finding needs its check and its statements");
  return finding;
}

}  // namespace vendrel::tester
