#pragma once
// The platform's collection: an ordered, 1-based list of values with
// optional text keys compared without regard to case.

#include <optional>
#include <string>
#include <vector>

#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel {

class Collection : public Object {
 public:
  static Ref<Collection> Create() { return MakeRef<Collection>(); }

  // Appends; a key already present (any case) raises 457 and changes nothing.
  void Add(Variant item, std::optional<std::string> key = std::nullopt);
  // Index is a position 1..Count (9 outside) or a key (5 when absent).
  void Remove(const Variant& index);
  const Variant& Item(const Variant& index) const;
  const Variant& Item(long position) const;
  long Count() const noexcept { return static_cast<long>(items_.size()); }
  // Position of a key (1-based), or 0.
  long PositionOf(std::string_view key) const;
  void Clear() noexcept;

 private:
  struct Entry {
    Variant item;
    std::optional<std::string> key;
    std::string foldedKey;
  };
  long ResolvePosition(const Variant& index) const;

  std::vector<Entry> items_;
};

}  // namespace vendrel
