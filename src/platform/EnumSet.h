#pragma once
// A set of the values of a small enumeration (at most 32 values), like a Pascal set:
// {iitDir, iitCustom}, Has(x), Include(x), Exclude(x), equality.

#include <cstdint>
#include <initializer_list>

namespace quorvane {

template <class E, int Count>
class EnumSet {
  static_assert(Count > 0 && Count <= 32, "EnumSet holds at most 32 values");

 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  // Every value of the enumeration.
  static constexpr EnumSet All() {
    EnumSet s;
    s.bits_ = Count == 32 ? ~uint32_t(0) : (uint32_t(1) << Count) - 1;
    return s;
  }
  static constexpr EnumSet FromBits(uint32_t bits) {
    EnumSet s;
    s.bits_ = bits & All().bits_;
    return s;
  }

  constexpr bool Has(E v) const { return InRange(v) && (bits_ >> int(v)) & 1u; }
  constexpr EnumSet& Include(E v) {
    if (InRange(v)) bits_ |= uint32_t(1) << int(v);
    return *this;
  }
  constexpr EnumSet& Exclude(E v) {
    if (InRange(v)) bits_ &= ~(uint32_t(1) << int(v));
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr bool InRange(E v) { return int(v) >= 0 && int(v) < Count; }
  uint32_t bits_ = 0;
};

}  // namespace quorvane
