#pragma once
// The driver's shortcuts: ways to the rows of a statement that cost less than
// the plain way and must give the very same rows, values and types. Each is on
// unless a program turns it off; the random statement tester runs statements
// with them off to check that nothing but the cost changes.

namespace vendrel::driver {

struct Shortcuts {
  // A text table answers = and IN on a column from the column's equality index.
  bool equalityLookups = true;
  // A text table answers a narrow range (<, <=, >, >=, BETWEEN) on a numeric
  // column from the column's sorted order.
  bool rangeLookups = true;
  // An Or of equalities between one column and constants is written as one IN
  // list (an And of inequalities as one NOT IN).
  bool inListFolding = true;
  // A table its writer hands over (WrittenTable) serves instead of a parse
  // of its file.
  bool writtenTables = true;
  // A table parsed before serves a file of the same bytes under the same layout.
  bool tableCache = true;
  // Text tables reach SQLite as virtual tables over the parsed columns; off,
  // their rows are copied into ordinary tables of the session's database.
  bool virtualTables = true;

  bool operator==(const Shortcuts&) const = default;
};

// The shortcuts in force for the process.
Shortcuts CurrentShortcuts();

// Sets them for the whole process, from the next statement (and, for the
// table cache and written tables, the next table read or handed over) on.
// Safe to call from any thread.
void SetShortcuts(const Shortcuts& shortcuts);

}  // namespace vendrel::driver
