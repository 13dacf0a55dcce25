#include "i18n/line_ends.h"

namespace lantorvix::i18n {

std::string RemoveCarriageReturns(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

std::string AddCarriageReturns(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

} // namespace lantorvix::i18n
