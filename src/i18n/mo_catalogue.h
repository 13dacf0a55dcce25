#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lantorvix::i18n {

// A GNU gettext message catalogue (.mo) read in place from bytes the caller keeps alive, in
// either byte order. Every offset and length is checked against the byte count when the
// catalogue is built, so no lookup reads outside the bytes.
// Thread-safety: immutable after construction; any number of threads may look up at once.
class MoCatalogue {
public:
    // Throws ETranslationError "This file is not a valid GNU gettext mo file: <fileName>".
    MoCatalogue(std::span<const unsigned char> bytes, std::string_view fileName);

    // The translation of msgid (binary search over the sorted msgids), or nothing. As in
    // gettext, an entry's msgid and translation end at their first NUL (plural forms give
    // their first form).
    std::optional<std::string_view> Find(std::string_view msgid) const;

    std::size_t Count() const { return count_; }
    std::string_view Original(std::size_t index) const;
    std::string_view Translation(std::size_t index) const;
    bool BigEndian() const { return bigEndian_; }

private:
    std::uint32_t Word(std::size_t offset) const;
    std::string_view Entry(std::uint32_t table, std::size_t index) const;

    std::span<const unsigned char> bytes_;
    bool bigEndian_ = false;
    std::size_t count_ = 0;
    std::uint32_t originals_ = 0;
    std::uint32_t translations_ = 0;
};

} // namespace lantorvix::i18n
