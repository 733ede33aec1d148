#pragma once
// Values between SQLite and the functions that work on Variants: a stored
// value is read by its static type and a result is stored as its type.

#include <sqlite3.h>

#include <string_view>

#include "core/types.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql {

Variant ReadValue(sqlite3_value* value, JetType type);
// The value's text, read as bytes: a text served in place by a text table
// carries no NUL, and asking for it as text would make SQLite copy it to add
// one. Valid while the value is.
std::string_view TextOf(sqlite3_value* value);
JetType TypeCode(sqlite3_value* code);  // a type number written by the code generator
// Raises the conversion's error when the value does not fit the type.
void SetResult(sqlite3_context* context, const Variant& value, JetType type);
// Reports an error of a function to the statement, to be decoded by the runner.
void SetError(sqlite3_context* context, const Error& error);
void SetError(sqlite3_context* context, long platformNumber);

// Runs a function body, turning every exception into the statement's error.
template <class Body>
void Guarded(sqlite3_context* context, Body body) noexcept {
  try {
    body();
  } catch (const Error& e) {
    SetError(context, e);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (const std::exception& e) {
    sqlite3_result_error(context, e.what(), -1);
  }
}

}  // namespace vendrel::driver::sql
