#pragma once

#include <string>
#include <string_view>

namespace lantorvix::i18n {

// Catalogues hold LF line ends; the program's texts use CR LF.
std::string RemoveCarriageReturns(std::string_view text);
// A CR before every LF that does not already follow one.
std::string AddCarriageReturns(std::string_view text);

} // namespace lantorvix::i18n
