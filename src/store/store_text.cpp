#include "store/store_text.h"

#include "base/format.h"
#include "base/resource_strings.h"

namespace lantorvix::store {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Message(std::string_view pattern, std::string_view argument)
{
    return Format(LoadResString(pattern), {argument});
}

} // namespace lantorvix::store
