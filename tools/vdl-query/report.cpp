#include "report.h"

#include <iostream>
#include <new>
#include <string>

#include "cell_text.h"
#include "options.h"
#include "vendrel/dataaccess/text.h"

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

size_t CharacterNamed(std::string_view description) {
  static constexpr std::string_view kMarker = "at character ";
  const size_t at = description.rfind(kMarker);
  if (at == std::string_view::npos) return 0;
  size_t n = 0;
  for (size_t i = at + kMarker.size(); i < description.size() && description[i] >= '0' && description[i] <= '9'; ++i) {
    if (n > 100000000) return 0;
    n = n * 10 + static_cast<size_t>(description[i] - '0');
  }
  return n;
}

std::string PointAt(std::string_view statement, size_t character) {
  if (character == 0) return {};
  // The byte where the character begins (characters counted as code points).
  size_t at = 0;
  for (size_t n = 1; n < character; ++n) {
    if (at >= statement.size()) return {};
    at = NextCodePoint(statement, at).next;
  }
  if (at > statement.size()) return {};
  const size_t lineStart = at == 0 ? 0 : statement.find_last_of("\r\n", at - 1) + 1;
  size_t lineEnd = statement.find_first_of("\r\n", at);
  if (lineEnd == std::string_view::npos) lineEnd = statement.size();
  std::string_view before = statement.substr(lineStart, at - lineStart);
  std::string_view after = statement.substr(at, lineEnd - at);
  // A window of about a line's width around the place.
  constexpr size_t kBefore = 50, kAfter = 30;
  std::string lead, tail;
  while (DisplayWidth(before) > kBefore) {
    before.remove_prefix(NextCodePoint(before, 0).next);
    lead = "...";
  }
  if (DisplayWidth(after) > kAfter) {
    size_t cut = 0;
    while (cut < after.size() && DisplayWidth(after.substr(0, cut)) < kAfter) cut = NextCodePoint(after, cut).next;
    after = after.substr(0, cut);
    tail = "...";
  }
  std::string shown = lead + std::string(before);
  // Tabs stay tabs under the line, so that the caret lands where the terminal shows the place.
  std::string under(lead.size(), ' ');
  for (size_t i = 0; i < before.size(); i = NextCodePoint(before, i).next) {
    const size_t next = NextCodePoint(before, i).next;
    if (before[i] == '\t')
      under += '\t';
    else
      under += std::string(DisplayWidth(before.substr(i, next - i)), ' ');
  }
  return "  " + shown + std::string(after) + tail + "\n  " + under + "^\n";
}

void ReportCurrentException(std::string_view statement) {
  try {
    throw;
  } catch (const Error& e) {
    ReportError(e);
    if (!statement.empty()) std::cerr << PointAt(statement, CharacterNamed(e.Description())) << std::flush;
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
