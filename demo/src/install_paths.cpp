#include "install_paths.h"

#include <filesystem>

namespace vendrel::demo {

namespace {

// Relative to the program's folder; set by the build for each build of the program.
constexpr const char* kSampleFolderFromProgram = VDL_SAMPLE_FOLDER_FROM_PROGRAM;
constexpr const char* kServerLibraryFromProgram = VDL_SERVER_LIBRARY_FROM_PROGRAM;

std::string Beside(const std::filesystem::path& folder, const char* relative) {
  return std::filesystem::absolute(folder / relative).lexically_normal().string();
}

}  // namespace

InstallPaths InstallPathsFor(const std::string& programFolder) {
  return {Beside(programFolder, kSampleFolderFromProgram), Beside(programFolder, kServerLibraryFromProgram)};
}

}  // namespace vendrel::demo
