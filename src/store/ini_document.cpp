#include "store/ini_document.h"

#include "base/ascii.h"
#include "store/store_text.h"

#include <algorithm>
#include <unordered_set>

namespace lantorvix::store {

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Unquote(std::string_view value)
{
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string Folded(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) {
        c = ascii::ToUpper(c);
    }
    return folded;
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}
} // namespace

IniDocument::IniDocument(std::string text) : text_(std::move(text))
{
    Parse();
}

std::string_view IniDocument::DefaultLineBreak()
{
#if defined(_WIN32)
    return "\r\n";
#else
    return "\n";
#endif
}

void IniDocument::Parse()
{
    lines_.clear();
    lines_.reserve(static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\n')) + 1);
    const std::string_view all = text_;
    std::size_t pos = all.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
    int currentSection = -1;
    while (pos < all.size()) {
        Line line;
        line.begin = pos;
        const std::size_t lf = all.find('\n', pos);
        line.next = lf == std::string_view::npos ? all.size() : lf + 1;
        line.end = lf == std::string_view::npos ? all.size() : lf;
        if (line.end > line.begin && all[line.end - 1] == '\r') {
            --line.end;
        }
        const std::string_view content = Trim(all.substr(line.begin, line.end - line.begin));
        if (!content.empty() && content.front() == '[') {
            const std::size_t close = content.rfind(']');
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(
                1, close == 0 || close == std::string_view::npos ? std::string_view::npos : close - 1));
            currentSection = static_cast<int>(lines_.size());
        } else if (!content.empty() && content.front() != ';' && currentSection >= 0) {
            const std::size_t eq = all.substr(line.begin, line.end - line.begin).find('=');
            if (eq != std::string_view::npos) {
                line.kind = LineKind::Entry;
                line.name = Trim(all.substr(line.begin, eq));
                line.valueBegin = line.begin + eq + 1;
            }
        }
        line.section = line.kind == LineKind::Section ? -1 : currentSection;
        lines_.push_back(line);
        pos = line.next;
    }
}

std::string_view IniDocument::MissingLineBreak() const
{
    // A file that ends in a lone CR has half of its last line break already.
    return !text_.empty() && text_.back() == '\r' ? std::string_view("\n") : LineBreak();
}

std::string_view IniDocument::LineBreak() const
{
    const std::size_t lf = text_.find('\n');
    if (lf == std::string::npos) {
        return DefaultLineBreak();
    }
    return lf > 0 && text_[lf - 1] == '\r' ? std::string_view("\r\n") : std::string_view("\n");
}

std::vector<std::size_t> IniDocument::SectionHeaders(std::string_view section) const
{
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section && ascii::EqualIgnoringCase(lines_[i].name, Trim(section))) {
            headers.push_back(i);
        }
    }
    return headers;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::Section) {
        ++i;
    }
    return i;
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const
{
    key = Trim(key);
    for (const std::size_t header : SectionHeaders(section)) {
        for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
            const Line& line = lines_[i];
            if (line.kind == LineKind::Entry && ascii::EqualIgnoringCase(line.name, key)) {
                return Unquote(std::string_view(text_).substr(line.valueBegin, line.end - line.valueBegin));
            }
        }
    }
    return std::nullopt;
}

bool IniDocument::HasSection(std::string_view section) const
{
    return !SectionHeaders(section).empty();
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const
{
    std::vector<std::string> keys;
    std::unordered_set<std::string> seen;
    for (const std::size_t header : SectionHeaders(section)) {
        for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
            const Line& line = lines_[i];
            if (line.kind == LineKind::Entry && !line.name.empty() && seen.insert(Folded(line.name)).second) {
                keys.emplace_back(line.name);
            }
        }
    }
    return keys;
}

std::vector<std::string> IniDocument::Sections() const
{
    std::vector<std::string> sections;
    std::unordered_set<std::string> seen;
    for (const Line& line : lines_) {
        if (line.kind == LineKind::Section && seen.insert(Folded(line.name)).second) {
            sections.emplace_back(line.name);
        }
    }
    return sections;
}

void IniDocument::Replace(std::size_t begin, std::size_t end, std::string_view with)
{
    text_.replace(begin, end - begin, with);
    Parse();
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    const std::string_view br = LineBreak();
    std::string entry(key);
    entry.append("=").append(value);
    const auto headers = SectionHeaders(section);
    for (const std::size_t header : headers) {
        for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
            const Line& line = lines_[i];
            if (line.kind == LineKind::Entry && ascii::EqualIgnoringCase(line.name, key)) {
                // Keep the key as it is spelt and any blanks after "="; replace only the value.
                std::size_t at = line.valueBegin;
                while (at < line.end && (text_[at] == ' ' || text_[at] == '\t')) {
                    ++at;
                }
                Replace(at, line.end, value);
                return;
            }
        }
    }
    if (!headers.empty()) {
        // After the section's last entry (or its header), before trailing blank and comment lines.
        const std::size_t header = headers.front();
        std::size_t last = header;
        for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
            if (lines_[i].kind == LineKind::Entry) {
                last = i;
            }
        }
        const Line& after = lines_[last];
        if (after.next > after.begin && text_[after.next - 1] == '\n') {
            Replace(after.next, after.next, entry.append(br));
        } else {
            Replace(after.next, after.next, std::string(MissingLineBreak()).append(entry).append(br));
        }
        return;
    }
    std::string added;
    if (!text_.empty() && text_.back() != '\n' && text_ != kBom) {
        added += MissingLineBreak();
    }
    added.append("[").append(section).append("]").append(br).append(entry).append(br);
    Replace(text_.size(), text_.size(), added);
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key)
{
    key = Trim(key);
    bool removed = false;
    for (;;) {
        bool found = false;
        for (const std::size_t header : SectionHeaders(section)) {
            for (std::size_t i = header + 1; i < SectionEnd(header) && !found; ++i) {
                if (lines_[i].kind == LineKind::Entry && ascii::EqualIgnoringCase(lines_[i].name, key)) {
                    Replace(lines_[i].begin, lines_[i].next, {});
                    found = true;
                }
            }
            if (found) {
                break;
            }
        }
        if (!found) {
            return removed;
        }
        removed = true;
    }
}

bool IniDocument::RemoveSection(std::string_view section)
{
    bool removed = false;
    for (auto headers = SectionHeaders(section); !headers.empty(); headers = SectionHeaders(section)) {
        const std::size_t header = headers.front();
        const std::size_t end = SectionEnd(header);
        const std::size_t to = end < lines_.size() ? lines_[end].begin : text_.size();
        Replace(lines_[header].begin, to, {});
        removed = true;
    }
    return removed;
}

bool IniDocument::IsValidSectionName(std::string_view name)
{
    // An empty name is allowed: "[]" reads back as the section "".
    return !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool IniDocument::IsValidKeyName(std::string_view name)
{
    name = Trim(name);
    return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string_view::npos &&
           name.front() != '[' && name.front() != ';';
}

bool IniDocument::IsValidValue(std::string_view value)
{
    return !HasLineBreak(value);
}

} // namespace lantorvix::store
