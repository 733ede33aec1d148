#pragma once
// Rows compared as the laws need: exactly (to the bit), with the last bits of
// floating sums let go, or as the dialect compares values (texts without
// regard to case, numbers by their value whatever their type).

#include <string>
#include <vector>

#include "vendrel/dataaccess/variant.h"

namespace vendrel::tester {

using Row = std::vector<Variant>;

// The dialect's order of two values of one column: Null first, numbers by
// value, dates in time order, texts as statements compare them.
int CompareValues(const Variant& a, const Variant& b);
// The same, with texts that the dialect holds equal told apart by their bytes.
int CompareValuesStrictly(const Variant& a, const Variant& b);
int CompareRows(const Row& a, const Row& b);
int CompareRowsStrictly(const Row& a, const Row& b);

// How two values of a result are held equal.
struct Likeness {
  bool approximate = false;  // doubles and singles equal to about ten digits
  bool anySpelling = false;  // texts equal as the dialect compares them (a group's, DISTINCT's or Min's pick)
  bool signedZero = true;    // -0 apart from 0 (ordinary SQLite tables keep no -0)
};

// Empty when the two lists hold the same rows, however ordered; else what differs.
std::string MultisetDifference(std::vector<Row> a, std::vector<Row> b, Likeness likeness);
// The same, rows compared as the dialect compares them; `strictly`: texts
// that it holds equal told apart by their bytes.
std::string DialectMultisetDifference(std::vector<Row> a, std::vector<Row> b, bool strictly);
// The rows that DISTINCT or UNION keeps: one of each set of rows the dialect holds equal.
std::vector<Row> DistinctRows(std::vector<Row> rows);
// Empty when both hold the same distinct rows as the dialect tells them apart.
std::string DistinctDifference(std::vector<Row> a, std::vector<Row> b);

std::string ShowRow(const Row& row);

}  // namespace vendrel::tester
