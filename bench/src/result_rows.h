#pragma once
// A result as text, so that the component's rows and the baseline's can be
// compared value by value.

#include <cstdint>
#include <string>
#include <vector>

#include "vendrel/dataaccess/recordset.h"

namespace vendrel::bench {

using ResultRows = std::vector<std::vector<std::string>>;

// Null as \N, whole numbers and Currency (in ten-thousandths, as the baseline
// stores it) as digits, Booleans as -1 and 0, reals and dates (serial days)
// with 17 significant digits, text as it is.
std::string CanonicalText(const Variant& value);
std::string CanonicalReal(double value);

// Every row of the recordset from its first, as text.
ResultRows CollectRows(Recordset& result);

// Reads every value of every row, as a caller of the result does; the
// checksum keeps the reads from being left out.
uint64_t WalkRows(Recordset& result);

// Empty when the two agree: the same rows (as a multiset), with the same
// sequence of order-key values. Otherwise what differs.
std::string Difference(const ResultRows& execute, const ResultRows& baseline, const std::vector<size_t>& orderKey);

// Mixes a value into a running checksum.
inline uint64_t Mix(uint64_t sum, uint64_t value) { return (sum ^ value) * 0x100000001B3ULL; }

}  // namespace vendrel::bench
