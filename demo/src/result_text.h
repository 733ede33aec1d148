#pragma once
// What the grid shows, as text for a terminal: an aligned table (numbers to
// the right) or tab-separated values, each with a header line of field names.

#include <string>

namespace vendrel::demo {

class RecordsetModel;

std::string AlignedTable(const RecordsetModel& model);
std::string TabSeparated(const RecordsetModel& model);

}  // namespace vendrel::demo
