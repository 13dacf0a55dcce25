#pragma once

#include <stdexcept>
#include <string>

namespace lantorvix {

// Root of the failures that the program shows to the user; what() is the message as shown.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that does not convert to the value asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace lantorvix
