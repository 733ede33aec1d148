#pragma once
// The SQL text driver: providers for folders of delimited text files and for
// database files, reached through Connection by their connection strings.

#include <cstddef>
#include <string_view>

namespace vendrel::driver {

// Source of every error the driver raises.
inline constexpr std::string_view kDriverSource = "Microsoft JET Database Engine";

// Registers the driver's providers with the data-access layer; calling it
// again does nothing.
void RegisterProviders();

// How many parsed text tables the process keeps for its connections: none
// once no connection to a text folder is open.
size_t ParsedTextTableCount();

}  // namespace vendrel::driver
