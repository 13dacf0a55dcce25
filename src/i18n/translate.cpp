#include "i18n/translate.h"

#include "base/codepage.h"

// Placeholder until the catalogue-backed translation instance exists: every text is its own
// translation.
namespace lantorvix::i18n {

std::u16string TranslateText(std::u16string_view text)
{
    return std::u16string(text);
}

std::u16string TranslateInDomain(std::u16string_view, std::u16string_view text)
{
    return std::u16string(text);
}

void AddResourceStringDomain(std::u16string_view) {}

std::string TranslateTextAnsi(std::string_view text)
{
    return std::string(text);
}

} // namespace lantorvix::i18n
