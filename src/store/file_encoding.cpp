#include "store/file_encoding.h"

#include "base/utf8.h"

namespace lantorvix::store {

namespace {

constexpr std::string_view kUtf16Bom = "\xFF\xFE";

void AppendUnit(std::string& out, char32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

bool PrintableAscii(char c)
{
    return c >= 0x20 && c < 0x7F;
}

// A mark of UTF-16 BE or UTF-32, or a first character that is UTF-16 without a mark (a file
// saved so starts with "[", ";" or a name: one ASCII byte beside a zero).
bool ForeignEncoding(std::string_view bytes)
{
    using namespace std::string_view_literals;
    if (StartsWith(bytes, "\xFE\xFF"sv) || StartsWith(bytes, "\xFF\xFE\0\0"sv) ||
        StartsWith(bytes, "\0\0\xFE\xFF"sv)) {
        return true;
    }
    return bytes.size() >= 2 &&
           ((PrintableAscii(bytes[0]) && bytes[1] == '\0') || (bytes[0] == '\0' && PrintableAscii(bytes[1])));
}

} // namespace

FileText DecodeFileText(std::string bytes)
{
    FileText file;
    if (ForeignEncoding(bytes)) {
        file.foreign = true;
        file.text = std::move(bytes);
        return file;
    }
    if (!StartsWith(bytes, kUtf16Bom)) {
        file.text = std::move(bytes);
        return file;
    }
    file.utf16 = true;
    const std::size_t end = bytes.size() - (bytes.size() % 2);
    const auto unit = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[k]) |
                                     (static_cast<unsigned char>(bytes[k + 1]) << 8));
    };
    for (std::size_t i = kUtf16Bom.size(); i < end; i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < end) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(file.text, cp);
    }
    file.oddTail = bytes.substr(end);
    return file;
}

std::string EncodeFileText(const FileText& file)
{
    if (!file.utf16) {
        return file.text;
    }
    std::string out(kUtf16Bom);
    out.reserve(2 + file.text.size() * 2 + file.oddTail.size());
    for (std::size_t i = 0; i < file.text.size();) {
        const char32_t cp = NextUtf8(file.text, i, Utf8Rules::lenient).value_or(0xFFFD);
        if (cp >= 0x10000) {
            AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, cp);
        }
    }
    out += file.oddTail;
    return out;
}

} // namespace lantorvix::store
