#include "install_paths.h"

namespace vendrel::demo {

const char* const kSampleFolder = VDL_SAMPLE_FOLDER;
const char* const kServerLibrary = VDL_SERVER_LIBRARY;

}  // namespace vendrel::demo
