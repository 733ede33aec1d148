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

}  // namespace vendrel::driver
