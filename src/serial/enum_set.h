#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace lantorvix {

// A set of enumeration values, one bit per ordinal, held in Storage.
template <typename Enum, typename Storage> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> values)
    {
        for (Enum v : values) {
            bits_ = static_cast<Storage>(bits_ | Bit(v));
        }
    }
    static constexpr EnumSet FromBits(Storage bits)
    {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }

    constexpr Storage Bits() const { return bits_; }
    constexpr bool Contains(Enum v) const { return (bits_ & Bit(v)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(Enum v) { bits_ = static_cast<Storage>(bits_ | Bit(v)); }
    constexpr void Exclude(Enum v) { bits_ = static_cast<Storage>(bits_ & ~Bit(v)); }

    friend constexpr bool operator==(EnumSet a, EnumSet b) = default;
    friend constexpr EnumSet operator|(EnumSet a, EnumSet b)
    {
        return FromBits(static_cast<Storage>(a.bits_ | b.bits_));
    }

private:
    static constexpr Storage Bit(Enum v)
    {
        return static_cast<Storage>(Storage{1} << static_cast<std::underlying_type_t<Enum>>(v));
    }
    Storage bits_ = 0;
};

} // namespace lantorvix
