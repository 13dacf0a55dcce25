#pragma once

#include "base/exception.h"

namespace lantorvix::i18n {

// A catalogue that exists but cannot be used, or a translation that is not UTF-8. Raised to
// whoever asked for the translation; what() is 8-bit text in the language's code page.
class ETranslationError : public Exception {
public:
    using Exception::Exception;
};

} // namespace lantorvix::i18n
