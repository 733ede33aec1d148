#include "report.h"

#include <iostream>
#include <new>
#include <string>

#include "options.h"

namespace vendrel::vdlquery {

void ReportError(const Error& error) {
  // Descriptions that hold CR LF (a folder that cannot be made) end their lines as the terminal does.
  std::string description = error.Description();
  for (size_t at = description.find("\r\n"); at != std::string::npos; at = description.find("\r\n", at))
    description.erase(at, 1);
  std::cerr << "Error Description: " << description << "\n"
            << "Error Number: " << error.Number() << "\n"
            << "Error Source: " << error.Source() << "\n"
            << std::flush;
}

void ReportToolError(std::string_view message) { std::cerr << "vdl-query: " << message << "\n" << std::flush; }

void ReportCurrentException() {
  try {
    throw;
  } catch (const Error& e) {
    ReportError(e);
  } catch (const ToolError& e) {
    ReportToolError(e.what());
  } catch (const std::bad_alloc&) {
    ReportToolError("out of memory");
  } catch (const std::exception& e) {
    ReportToolError(e.what());
  } catch (...) {
    ReportToolError("an unknown failure");
  }
}

}  // namespace vendrel::vdlquery
