#include "i18n/mo_catalogue.h"

#include "i18n/translation_error.h"

#include <string>

namespace lantorvix::i18n {

namespace {
constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;
// magic, revision, count, originals table offset, translations table offset
constexpr std::size_t kHeaderSize = 5 * 4;
constexpr std::size_t kDescriptorSize = 2 * 4;

std::string_view UpToNul(std::string_view s)
{
    return s.substr(0, s.find('\0'));
}
} // namespace

MoCatalogue::MoCatalogue(std::span<const unsigned char> bytes, std::string_view fileName) : bytes_(bytes)
{
    const auto invalid = [&] {
        return ETranslationError("This file is not a valid GNU gettext mo file: " + std::string(fileName));
    };
    if (bytes_.size() < kHeaderSize) {
        throw invalid();
    }
    const std::uint32_t magic = Word(0);
    if (magic == kMagicSwapped) {
        bigEndian_ = true;
    } else if (magic != kMagic) {
        throw invalid();
    }
    const std::uint64_t count = Word(8);
    originals_ = Word(12);
    translations_ = Word(16);
    const std::uint64_t size = bytes_.size();
    for (const std::uint64_t table : {std::uint64_t{originals_}, std::uint64_t{translations_}}) {
        if (table > size || count > (size - table) / kDescriptorSize) {
            throw invalid();
        }
    }
    count_ = static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < count_; ++i) {
        for (const std::uint64_t table : {std::uint64_t{originals_}, std::uint64_t{translations_}}) {
            const auto at = static_cast<std::size_t>(table + i * kDescriptorSize);
            const std::uint64_t length = Word(at);
            const std::uint64_t offset = Word(at + 4);
            if (offset > size || length > size - offset) {
                throw invalid();
            }
        }
    }
}

std::uint32_t MoCatalogue::Word(std::size_t offset) const
{
    const unsigned char* p = bytes_.data() + offset;
    if (bigEndian_) {
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
    }
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

std::string_view MoCatalogue::Entry(std::uint32_t table, std::size_t index) const
{
    const std::size_t at = table + index * kDescriptorSize;
    const std::uint32_t length = Word(at);
    const std::uint32_t offset = Word(at + 4);
    return UpToNul({reinterpret_cast<const char*>(bytes_.data()) + offset, length});
}

std::string_view MoCatalogue::Original(std::size_t index) const
{
    return index < count_ ? Entry(originals_, index) : std::string_view{};
}

std::string_view MoCatalogue::Translation(std::size_t index) const
{
    return index < count_ ? Entry(translations_, index) : std::string_view{};
}

std::optional<std::string_view> MoCatalogue::Find(std::string_view msgid) const
{
    // msgfmt sorts the msgids bytewise (strcmp); string_view compares the same way.
    std::size_t low = 0;
    std::size_t high = count_;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int order = msgid.compare(Entry(originals_, mid));
        if (order == 0) {
            return Entry(translations_, mid);
        }
        if (order < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return std::nullopt;
}

} // namespace lantorvix::i18n
