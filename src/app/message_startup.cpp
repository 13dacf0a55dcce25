#include "app/message_startup.h"

#include "i18n/translate.h"
#include "serial/com_error.h"

#include <exception>

namespace lantorvix {

std::string StartBuiltInMessages(const std::string& executablePath)
{
    try {
        if (executablePath.empty()) {
            i18n::StartTranslation();
        } else {
            i18n::StartTranslation(executablePath);
        }
        InitializeSerialMessages();
        return {};
    } catch (const std::exception& e) {
        std::string failure = e.what();
        // Left running, the damaged catalogue would replace every later port and conversion
        // error with its own message. The code page stays the language's: scanned bytes
        // must still be typed as the user's characters.
        i18n::StopTranslatingTexts();
        InitializeSerialMessages();
        return failure;
    }
}

} // namespace lantorvix
