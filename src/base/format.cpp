#include "base/format.h"

namespace lantorvix {

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args)
{
    std::string out;
    out.reserve(pattern.size() + 16);
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        const char directive = pattern[i + 1];
        if (directive == '%') {
            out += '%';
            ++i;
            continue;
        }
        const bool wantsText = directive == 's';
        const bool wantsNumber = directive == 'd';
        if ((wantsText || wantsNumber) && next != args.end()) {
            if (wantsText && std::holds_alternative<std::string_view>(*next)) {
                out += std::get<std::string_view>(*next);
                ++next;
                ++i;
                continue;
            }
            if (wantsNumber && std::holds_alternative<std::int64_t>(*next)) {
                out += std::to_string(std::get<std::int64_t>(*next));
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace lantorvix
