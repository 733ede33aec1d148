#pragma once
// Late binding: members found by name and called by dispatch identifier with
// variant arguments, and the type description that says what each member
// takes and returns.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "vendrel/dataaccess/com/unknown.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::com {

using DispId = int32_t;
inline constexpr DispId DISPID_UNKNOWN = -1;

// What an Invoke asks for; a property read may come as both.
inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;

// ---------------------------------------------------------------- type description

struct ParameterInfo {
  std::string_view name;
  std::string_view type;          // as a client's declaration names it: String, Long, Recordset, ...
  bool byReference = true;        // in/out: the caller's variable, read and left unchanged
  bool optional = false;
  std::string_view defaultValue;  // as shown to a client; empty when there is none
};

enum class MemberKind { Method, PropertyGet };

struct MemberInfo {
  std::string_view name;
  MemberKind kind = MemberKind::Method;
  DispId id = DISPID_UNKNOWN;
  std::span<const ParameterInfo> parameters;
  std::string_view resultType;  // empty: no result
  bool hidden = false;
  std::string_view helpString;  // empty: none

  size_t RequiredCount() const noexcept;
};

enum InterfaceFlags : unsigned {
  kInterfaceDual = 1,
  kInterfaceHidden = 2,
  kInterfaceNonExtensible = 4,
  kInterfaceOleAutomation = 8,
};

// Slots of an IDispatch-based interface before its own members.
inline constexpr int kFirstDispatchMemberSlot = 7;

struct InterfaceInfo {
  std::string_view name;
  Guid iid;
  unsigned flags = 0;
  std::span<const MemberInfo> members;  // in slot order
  std::string_view helpString;

  const MemberInfo* Find(DispId id) const noexcept;
  const MemberInfo* Find(std::string_view name) const;  // without regard to case
};

struct ClassInfo {
  std::string_view name;
  Guid clsid;
  bool creatable = true;
  std::string_view progId;          // empty for a class that is not creatable
  std::string_view threadingModel;  // "Apartment"
  const InterfaceInfo* defaultInterface = nullptr;
  std::string_view helpString;
};

struct TypeLibraryInfo {
  std::string_view name;
  Guid libid;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  uint32_t locale = 0;
  std::string_view helpString;
  std::span<const ClassInfo> classes;
  std::span<const InterfaceInfo* const> interfaces;
};

// ---------------------------------------------------------------- IDispatch

class IDispatch : public IUnknown {
 public:
  using Base = IUnknown;
  static constexpr Guid Iid = MakeGuid("{00020400-0000-0000-C000-000000000046}");

  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  // The description of this interface; index 0 only.
  virtual HRESULT GetTypeInfo(uint32_t index, const InterfaceInfo** info) = 0;
  // names[0] is a member, compared without regard to case; any further names
  // are its parameters, answered by their positions. An unknown name gets
  // DISPID_UNKNOWN and the call fails with DISP_E_UNKNOWNNAME.
  virtual HRESULT GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) = 0;
  // Calls a method or reads a property. The arguments come in the order of
  // the member's parameters, each the caller's own variable (by reference);
  // a null pointer, or a missing trailing argument, leaves an optional
  // parameter out. A failing member returns its own HRESULT and leaves its
  // error information, exactly as the same call through the vtable does.
  // There are no named arguments and no property writes.
  virtual HRESULT Invoke(DispId member, uint16_t flags, std::span<Variant* const> arguments, Variant* result) = 0;

 protected:
  ~IDispatch() = default;
};

// Answers GetIDsOfNames from a description.
HRESULT GetIDsOfNames(const InterfaceInfo& info, std::span<const std::string> names, std::span<DispId> ids);

}  // namespace vendrel::com
