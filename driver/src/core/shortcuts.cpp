#include "vendrel/driver/shortcuts.h"

#include <atomic>

namespace vendrel::driver {

namespace {

// One bit per shortcut, set while it is off: zero is the default.
constexpr unsigned kEqualityLookups = 1;
constexpr unsigned kRangeLookups = 2;
constexpr unsigned kInListFolding = 4;
constexpr unsigned kWrittenTables = 8;
constexpr unsigned kTableCache = 16;
constexpr unsigned kVirtualTables = 32;

std::atomic<unsigned> turnedOff{0};

}  // namespace

Shortcuts CurrentShortcuts() {
  const unsigned off = turnedOff.load(std::memory_order_relaxed);
  Shortcuts s;
  s.equalityLookups = !(off & kEqualityLookups);
  s.rangeLookups = !(off & kRangeLookups);
  s.inListFolding = !(off & kInListFolding);
  s.writtenTables = !(off & kWrittenTables);
  s.tableCache = !(off & kTableCache);
  s.virtualTables = !(off & kVirtualTables);
  return s;
}

void SetShortcuts(const Shortcuts& s) {
  const unsigned off = (s.equalityLookups ? 0u : kEqualityLookups) | (s.rangeLookups ? 0u : kRangeLookups) |
                       (s.inListFolding ? 0u : kInListFolding) | (s.writtenTables ? 0u : kWrittenTables) |
                       (s.tableCache ? 0u : kTableCache) | (s.virtualTables ? 0u : kVirtualTables);
  turnedOff.store(off, std::memory_order_relaxed);
}

}  // namespace vendrel::driver
