#pragma once
// Where this build of the program finds its sample data and the component
// library it was built with: the build tree's for the program run from the
// build, the installed ones for the installed program. Constants of the
// program, fixed when it is built.

namespace vendrel::demo {

extern const char* const kSampleFolder;
extern const char* const kServerLibrary;

}  // namespace vendrel::demo
