#include "i18n/language.h"

#include "i18n/translation_platform.h"

#include <array>
#include <string_view>
#include <utility>

namespace lantorvix::i18n {

std::string ThreadLocaleCode(std::uint32_t lcid)
{
    // Kept as the codes were first published, odd ones ("gr_GR", "ko_KO", "en_UK", "fi_SE")
    // included: catalogues installed under these names must keep being found.
    static constexpr std::array<std::pair<std::uint32_t, std::string_view>, 25> kTable = {{
        {1030, "da_DK"}, {1031, "de_DE"}, {1032, "gr_GR"}, {1033, "en_US"}, {1034, "es_ES"},
        {1035, "fi_FI"}, {1036, "fr_FR"}, {1039, "is_IS"}, {1040, "it_IT"}, {1042, "ko_KO"},
        {1043, "nl_NL"}, {1044, "no_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1049, "ru_RU"},
        {1053, "sv_SE"}, {2057, "en_UK"}, {2060, "fr_BE"}, {2067, "nl_BE"}, {2068, "nn_NO"},
        {2070, "pt_PT"}, {2077, "fi_SE"}, {3082, "es_ES"}, {3084, "fr_CA"}, {4103, "de_LU"},
    }};
    for (const auto& [id, code] : kTable) {
        if (id == lcid) {
            return std::string(code);
        }
    }
    return "C";
}

std::string ChooseLanguage(TranslationPlatform& platform)
{
    std::string code;
    if (auto lang = platform.Environment("LANG"); lang && !lang->empty()) {
        code = std::move(*lang);
    } else if (auto user = platform.UserLocale(); user && !user->empty()) {
        code = std::move(*user);
    } else {
        code = ThreadLocaleCode(platform.ThreadLocale().value_or(0));
    }
    return code.substr(0, code.find('.'));
}

} // namespace lantorvix::i18n
