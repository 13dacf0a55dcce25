#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lantorvix::store {

// The values of one key of the file-backed registry, in the text form of its ".values" file:
// one value a line, "sz" or "dword", a tab, the name, a tab, the data, with "%", tab, line
// breaks and other control bytes written as %XX. Lines that do not parse are dropped.
struct RegistryValue {
    std::string name;
    std::variant<std::string, std::int32_t> data;
};

std::vector<RegistryValue> ParseRegistryValues(std::string_view text);
std::string SerializeRegistryValues(const std::vector<RegistryValue>& values);

// Escapes a key name so that it is one safe folder name: lower case, "%XX" for separators,
// control bytes, "%" and a leading ".".
std::string KeyFolderName(std::string_view keyName);

} // namespace lantorvix::store
