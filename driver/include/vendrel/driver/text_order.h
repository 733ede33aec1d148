#pragma once
// How statements compare texts: equal when their Unicode case foldings are
// equal, otherwise in linguistic order. One rule for comparisons, ORDER BY,
// GROUP BY, DISTINCT, UNION, joins, IN and MIN/MAX; for programs that check or
// continue the driver's work on its results.

#include <string_view>

namespace vendrel::driver {

// Less than zero, zero or greater than zero as `a` sorts before, with or after `b`.
int CompareTexts(std::string_view a, std::string_view b);

}  // namespace vendrel::driver
