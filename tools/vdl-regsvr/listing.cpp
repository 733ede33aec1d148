#include "listing.h"

#include <cstdio>

namespace vendrel::regsvr {

namespace {

std::string Hex(com::DispId id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

std::string Quoted(std::string_view text) {
  if (text.empty()) return "(none)";
  return "\"" + std::string(text) + "\"";
}

std::string InterfaceFlags(unsigned flags) {
  std::string out;
  auto add = [&out](const char* word) {
    if (!out.empty()) out += ", ";
    out += word;
  };
  if (flags & com::kInterfaceDual) add("dual");
  if (flags & com::kInterfaceHidden) add("hidden");
  if (flags & com::kInterfaceNonExtensible) add("nonextensible");
  if (flags & com::kInterfaceOleAutomation) add("oleautomation");
  return out.empty() ? "no flags" : out;
}

std::string Parameters(const com::MemberInfo& m) {
  std::string out = "(";
  for (size_t i = 0; i < m.parameters.size(); ++i) {
    const com::ParameterInfo& p = m.parameters[i];
    if (i > 0) out += ", ";
    if (p.optional) out += "Optional ";
    out += p.byReference ? "ByRef " : "ByVal ";
    out += std::string(p.name) + " As " + std::string(p.type);
    if (!p.defaultValue.empty()) out += " = " + std::string(p.defaultValue);
  }
  out += ")";
  if (!m.resultType.empty()) out += " As " + std::string(m.resultType);
  return out;
}

}  // namespace

std::string ListTypeLibrary(const com::TypeLibraryInfo& library) {
  std::string out = "library " + std::string(library.name) + " " + com::ToString(library.libid) + " version " +
                    std::to_string(library.majorVersion) + "." + std::to_string(library.minorVersion) +
                    " locale " + std::to_string(library.locale) + " help " + Quoted(library.helpString) + "\n";
  for (const com::ClassInfo& c : library.classes) {
    out += "\nclass " + std::string(c.name) + " " + com::ToString(c.clsid);
    out += c.creatable ? " creatable ProgID " + std::string(c.progId) : std::string(" not creatable");
    out += " threading " + std::string(c.threadingModel);
    if (c.defaultInterface) out += " default interface " + std::string(c.defaultInterface->name);
    out += " help " + Quoted(c.helpString) + "\n";
  }
  for (const com::InterfaceInfo* i : library.interfaces) {
    out += "\ninterface " + std::string(i->name) + " " + com::ToString(i->iid) + " " + InterfaceFlags(i->flags) +
           " help " + Quoted(i->helpString) + "\n";
    int slot = com::kFirstDispatchMemberSlot;
    for (const com::MemberInfo& m : i->members) {
      out += "  slot " + std::to_string(slot++) + "  ";
      out += m.kind == com::MemberKind::Method ? "method " : "property get ";
      out += std::string(m.name) + Parameters(m) + "  dispid " + Hex(m.id);
      out += m.hidden ? "  hidden" : "  not hidden";
      out += "  help " + Quoted(m.helpString) + "\n";
    }
  }
  return out;
}

}  // namespace vendrel::regsvr
