#include "base/ascii.h"

#include <algorithm>

namespace lantorvix::ascii {

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ToLower(x) == ToLower(y); });
}

bool LessIgnoringCase(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(ToLower(x)) < static_cast<unsigned char>(ToLower(y));
    });
}

} // namespace lantorvix::ascii
