#pragma once

#include <cstdint>
#include <string>

namespace lantorvix::i18n {

class TranslationPlatform;

// The language code for catalogues: "LANG" when set and not empty, else the user's locale,
// else the thread locale by ThreadLocaleCode; cut at its first ".".
std::string ChooseLanguage(TranslationPlatform& platform);

// The code a Windows thread locale identifier stands for; "C" for those without one
// (Hungarian, 1038, included).
std::string ThreadLocaleCode(std::uint32_t lcid);

} // namespace lantorvix::i18n
