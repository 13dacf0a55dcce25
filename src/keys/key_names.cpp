#include "keys/key_names.h"

#include <array>

namespace lantorvix {

namespace {
struct KeyName {
    std::string_view name;
    std::uint8_t vk;
};

// Sorted in ascending byte order of the names: the lookup halves the range.
constexpr std::array<KeyName, 41> kKeyNames{{
    {"BACKSPACE", 8}, {"BKSP", 8},    {"BREAK", 3},        {"BS", 8},        {"CAPSLOCK", 20}, {"CLEAR", 12},
    {"DEL", 46},      {"DELETE", 46}, {"DOWN", 40},        {"END", 35},      {"ENTER", 13},    {"ESC", 27},
    {"ESCAPE", 27},   {"F1", 112},    {"F10", 121},        {"F11", 122},     {"F12", 123},     {"F13", 124},
    {"F14", 125},     {"F15", 126},   {"F16", 127},        {"F2", 113},      {"F3", 114},      {"F4", 115},
    {"F5", 116},      {"F6", 117},    {"F7", 118},         {"F8", 119},      {"F9", 120},      {"HELP", 47},
    {"HOME", 36},     {"INS", 45},    {"LEFT", 37},        {"NUMLOCK", 144}, {"PGDN", 34},     {"PGUP", 33},
    {"PRTSC", 42},    {"RIGHT", 39},  {"SCROLLLOCK", 145}, {"TAB", 9},       {"UP", 38},
}};

constexpr bool IsSorted()
{
    for (std::size_t i = 1; i < kKeyNames.size(); ++i) {
        if (!(kKeyNames[i - 1].name < kKeyNames[i].name)) {
            return false;
        }
    }
    return true;
}
static_assert(IsSorted(), "the key-name table must stay sorted for the halving search");
} // namespace

std::optional<std::uint8_t> FindKeyName(std::string_view name)
{
    std::size_t low = 0;
    std::size_t high = kKeyNames.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        // string_view compares as unsigned bytes, the order the table is sorted in.
        const int c = name.compare(kKeyNames[mid].name);
        if (c == 0) {
            return kKeyNames[mid].vk;
        }
        if (c < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return std::nullopt;
}

} // namespace lantorvix
