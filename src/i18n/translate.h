#pragma once

#include <string>
#include <string_view>

namespace lantorvix::i18n {

// gettext in the current text domain ("default"); the text itself when no catalogue has it.
std::u16string TranslateText(std::u16string_view text);
// dgettext in the named domain.
std::u16string TranslateInDomain(std::u16string_view domain, std::u16string_view text);
// Appends a domain to the list that built-in (resource) messages are looked up in.
void AddResourceStringDomain(std::u16string_view domain);

// The same for 8-bit texts in the program's ANSI code page.
std::string TranslateTextAnsi(std::string_view text);

} // namespace lantorvix::i18n
