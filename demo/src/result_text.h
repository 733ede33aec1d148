#pragma once
// What the grid shows, as text for a terminal: an aligned table (numbers to
// the right) or tab-separated values, each with a header line of field names.

#include <string>

namespace vendrel::demo {

class RecordsetModel;

// At most `maxRows` rows when it is not negative; the widths fit the rows shown.
std::string AlignedTable(const RecordsetModel& model, int maxRows = -1);
std::string TabSeparated(const RecordsetModel& model);

}  // namespace vendrel::demo
