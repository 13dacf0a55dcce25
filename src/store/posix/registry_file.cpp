#include "store/posix/registry_file.h"

#include "base/ascii.h"
#include "base/str_to_int.h"

namespace lantorvix::store {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char c)
{
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

std::string Escape(std::string_view text)
{
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '%') {
            AppendEscaped(out, c);
        } else {
            out += ch;
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::string> Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int hi = HexDigit(text[i + 1]);
        const int lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}
} // namespace

std::vector<RegistryValue> ParseRegistryValues(std::string_view text)
{
    std::vector<RegistryValue> values;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        const std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) {
            continue;
        }
        const auto type = line.substr(0, tab1);
        const auto name = Unescape(line.substr(tab1 + 1, tab2 - tab1 - 1));
        const auto data = Unescape(line.substr(tab2 + 1));
        if (!name || !data || name->empty()) {
            continue;
        }
        if (type == "sz") {
            values.push_back({*name, *data});
        } else if (type == "dword") {
            if (const auto number = TryStrToInt(*data)) {
                values.push_back({*name, *number});
            }
        }
    }
    return values;
}

std::string SerializeRegistryValues(const std::vector<RegistryValue>& values)
{
    std::string out;
    for (const auto& value : values) {
        if (const auto* text = std::get_if<std::string>(&value.data)) {
            out.append("sz\t").append(Escape(value.name)).append("\t").append(Escape(*text)).append("\n");
        } else {
            out.append("dword\t").append(Escape(value.name)).append("\t");
            out.append(std::to_string(std::get<std::int32_t>(value.data))).append("\n");
        }
    }
    return out;
}

std::string KeyFolderName(std::string_view keyName)
{
    std::string out;
    for (std::size_t i = 0; i < keyName.size(); ++i) {
        const auto c = static_cast<unsigned char>(keyName[i]);
        if (c < 0x20 || c == 0x7F || c == '%' || c == '/' || c == '\\' || c == ':' || (i == 0 && c == '.')) {
            AppendEscaped(out, c);
        } else {
            out += ascii::ToLower(static_cast<char>(c));
        }
    }
    return out;
}

} // namespace lantorvix::store
