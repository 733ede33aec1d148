#pragma once
// Where this build of the program finds its sample data and the component
// library it was built with. Both lie at fixed places relative to the folder
// that holds the program (the build tree's layout for the program run from the
// build, bin/, lib/ and share/vendrel12/ for the installed one), so a tree
// installed under any prefix, or moved after it was installed, works as well.

#include <string>

namespace vendrel::demo {

struct InstallPaths {
  std::string sampleFolder;
  std::string serverLibrary;
};

// The paths for a program that lies in `programFolder`, made absolute.
InstallPaths InstallPathsFor(const std::string& programFolder);

}  // namespace vendrel::demo
