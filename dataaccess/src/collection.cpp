#include "vendrel/dataaccess/collection.h"

#include <cmath>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel {

void Collection::Add(Variant item, std::optional<std::string> key) {
  std::string folded;
  if (key) {
    folded = FoldCase(*key);
    for (const Entry& e : items_)
      if (e.key && e.foldedKey == folded) RaisePlatform(err::kKeyAlreadyAssociated, source::kRuntime);
  }
  items_.push_back(Entry{std::move(item), std::move(key), std::move(folded)});
}

long Collection::PositionOf(std::string_view key) const {
  const std::string folded = FoldCase(key);
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].key && items_[i].foldedKey == folded) return static_cast<long>(i + 1);
  return 0;
}

long Collection::ResolvePosition(const Variant& index) const {
  if (index.IsString()) {
    const long position = PositionOf(index.AsString());
    if (position == 0) RaisePlatform(err::kInvalidProcedureCall, source::kRuntime);
    return position;
  }
  if (!index.IsNumeric() && index.Type() != VarType::Date) {
    if (index.IsNull() || index.IsEmpty()) RaisePlatform(err::kInvalidProcedureCall, source::kRuntime);
    RaisePlatform(err::kTypeMismatch, source::kRuntime);
  }
  const double d = ToDouble(index);
  const double position = RoundHalfEven(d);
  if (!(position >= 1 && position <= static_cast<double>(items_.size())))
    RaisePlatform(err::kSubscriptOutOfRange, source::kRuntime);
  return static_cast<long>(position);
}

void Collection::Remove(const Variant& index) {
  const long position = ResolvePosition(index);
  items_.erase(items_.begin() + (position - 1));
}

const Variant& Collection::Item(const Variant& index) const { return items_[ResolvePosition(index) - 1].item; }

const Variant& Collection::Item(long position) const {
  if (position < 1 || position > Count()) RaisePlatform(err::kSubscriptOutOfRange, source::kRuntime);
  return items_[position - 1].item;
}

void Collection::Clear() noexcept { items_.clear(); }

}  // namespace vendrel
