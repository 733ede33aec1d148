#include "vendrel/dataaccess/com/dispatch.h"

#include "vendrel/dataaccess/com/server.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::com {

size_t MemberInfo::RequiredCount() const noexcept {
  size_t required = 0;
  for (size_t i = 0; i < parameters.size(); ++i)
    if (!parameters[i].optional) required = i + 1;
  return required;
}

const MemberInfo* InterfaceInfo::Find(DispId id) const noexcept {
  for (const MemberInfo& m : members)
    if (m.id == id) return &m;
  return nullptr;
}

const MemberInfo* InterfaceInfo::Find(std::string_view memberName) const {
  for (const MemberInfo& m : members)
    if (EqualsNoCase(m.name, memberName)) return &m;
  return nullptr;
}

HRESULT GetIDsOfNames(const InterfaceInfo& info, std::span<const std::string> names, std::span<DispId> ids) {
  if (names.empty() || ids.size() < names.size()) return E_INVALIDARG;
  for (DispId& id : ids) id = DISPID_UNKNOWN;
  const MemberInfo* member = info.Find(names[0]);
  if (!member) return DISP_E_UNKNOWNNAME;
  ids[0] = member->id;
  HRESULT hr = S_OK;
  for (size_t n = 1; n < names.size(); ++n) {
    for (size_t p = 0; p < member->parameters.size(); ++p)
      if (EqualsNoCase(member->parameters[p].name, names[n])) ids[n] = static_cast<DispId>(p);
    if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// ---------------------------------------------------------------- InvokeArguments

InvokeArguments::InvokeArguments(const InterfaceInfo& info, DispId member, uint16_t flags,
                                 std::span<Variant* const> arguments)
    : member_(info.Find(member)), arguments_(arguments) {
  if (!member_) throw DispatchFailure{DISP_E_MEMBERNOTFOUND};
  const uint16_t accepted = member_->kind == MemberKind::Method ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
  if ((flags & accepted) == 0) throw DispatchFailure{DISP_E_MEMBERNOTFOUND};
  if (arguments.size() > member_->parameters.size()) throw DispatchFailure{DISP_E_BADPARAMCOUNT};
  for (size_t i = 0; i < member_->parameters.size(); ++i)
    if (!member_->parameters[i].optional && !Given(i)) throw DispatchFailure{DISP_E_PARAMNOTOPTIONAL};
}

void InvokeArguments::Mismatch() { throw DispatchFailure{DISP_E_TYPEMISMATCH}; }

const Variant& InvokeArguments::Value(size_t i) const {
  if (!Given(i)) throw DispatchFailure{DISP_E_PARAMNOTFOUND};
  return *arguments_[i];
}

std::string InvokeArguments::Text(size_t i) const {
  if (!Given(i)) return "";
  try {
    return ToText(Value(i));
  } catch (const Error&) {
    Mismatch();
  }
}

int32_t InvokeArguments::Long(size_t i) const {
  try {
    return ToLong(Value(i));
  } catch (const Error&) {
    Mismatch();
  }
}

VARIANT_BOOL InvokeArguments::Flag(size_t i) const {
  if (!Given(i)) return VARIANT_FALSE;
  const Variant& v = Value(i);
  try {
    if (v.Type() == VarType::Boolean) return v.AsBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
    if (v.IsNumeric()) return ToInteger(v);
    return ToBoolean(v) ? VARIANT_TRUE : VARIANT_FALSE;
  } catch (const Error&) {
    Mismatch();
  }
}

Ref<Object> InvokeArguments::ObjectValue(size_t i) const {
  if (!Given(i)) return {};
  const Variant& v = Value(i);
  if (!v.IsObject()) Mismatch();
  return v.AsObject();
}

}  // namespace vendrel::com
