#include "app/general_error.h"

#include "base/ascii.h"

namespace lantorvix {

std::string GeneralErrorText(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

std::string ApplicationTitle(std::string_view executablePath)
{
    const auto slash = executablePath.find_last_of("/\\");
    std::string_view name =
        slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    for (std::size_t i = 1; i < title.size(); ++i) {
        title[i] = ascii::ToLower(title[i]);
    }
    return title;
}

} // namespace lantorvix
