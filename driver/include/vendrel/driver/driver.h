#pragma once
// The SQL text driver: providers for folders of delimited text files and for
// database files, reached through Connection by their connection strings.

#include <string_view>

namespace vendrel::driver {

// Source of every error the driver raises.
inline constexpr std::string_view kDriverSource = "Microsoft JET Database Engine";

// Registers the driver's providers with the data-access layer; calling it
// again does nothing.
void RegisterProviders();

// Drops the parsed text tables that no open connection uses. The driver
// keeps them so that a file read again unchanged costs no new parse; a
// program that reads each file once gives their memory back with this.
void ReleaseIdleTextTables();

}  // namespace vendrel::driver
