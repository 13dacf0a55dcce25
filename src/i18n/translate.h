#pragma once

#include "base/codepage.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix::i18n {

class TranslationPlatform;

// Starts the translation layer; the program entry calls it first, before the serial port's
// start-up and before any other thread exists. It creates the default translation instance
// (catalogues below "<directory of executablePath>/locale", language from "LANG" or the
// user's locale, current domain "default") and routes the built-in messages
// (LoadResString) through the resource-string domains. Without catalogues every text comes
// back unchanged. Catalogue problems are raised at the first lookup, not here.
void StartTranslation(const std::string& executablePath);
// The same with the running program's own executable path.
void StartTranslation();
// With another platform (tests).
void StartTranslation(const std::string& executablePath, std::unique_ptr<TranslationPlatform> platform);
// Releases the instance and its catalogues, resets the resource-string domains to "default"
// and gives LoadResString back its plain form. Called at exit, after other threads ended.
void StopTranslation();
// Drops the catalogues after a failed start: every text then comes back unchanged, as with no
// catalogue at all, while AnsiCodePage() stays the language's, so that 8-bit texts (scanned
// codes) keep their meaning. Main thread, before other threads translate.
void StopTranslatingTexts();

// The functions below may be called from any thread. Before StartTranslation (and after
// StopTranslation) they return the text unchanged.

// gettext in the current text domain ("default"); the text itself when no catalogue has it.
// Throws ETranslationError (i18n/translation_error.h) for an unusable catalogue.
std::u16string TranslateText(std::u16string_view text);
// dgettext in the named domain.
std::u16string TranslateInDomain(std::u16string_view domain, std::u16string_view text);
// Appends a domain to the list that built-in (resource) messages are looked up in.
void AddResourceStringDomain(std::u16string_view domain);

// TranslateText for 8-bit texts in AnsiCodePage().
std::string TranslateTextAnsi(std::string_view text);

// The code page of 8-bit texts: that of the chosen language (cp1252 before start-up).
// LoadResString results are in it too.
CodePage AnsiCodePage();
// The chosen language code ("hu_HU", "de", "C"); empty before start-up.
std::string LanguageCode();
// A copy of the resource-string domain list, in lookup order.
std::vector<std::u16string> ResourceStringDomainList();

} // namespace lantorvix::i18n
