#pragma once

#include "base/exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {

// A failure of the registry object ("Failed to set data for '%s'", "Failed to get data for
// '%s'", "Invalid data type for '%s'").
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

enum class RegistryRoot { CurrentUser, LocalMachine };

// A registry with one key open at a time, named by a path of "\"-separated key names below
// the root (a leading "\" is allowed); key and value names match without regard to letter
// case. On Windows this is the system registry. Elsewhere it is the program's own store of
// the same shape: one folder per key below $XDG_CONFIG_HOME/Lantorvix/registry/<root>/
// (key names lower-cased, unsafe bytes escaped), the key's values in the file ".values" of
// that folder, each write replacing that file at once through a rename.
//
// Values are strings (REG_SZ) or 32-bit integers (REG_DWORD). Reading a missing string gives
// empty text; reading a missing integer, or a value of the other type, raises.
//
// Not synchronised: one thread at a time per object.
class RegistryStore {
public:
    explicit RegistryStore(RegistryRoot root = RegistryRoot::CurrentUser);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    RegistryRoot Root() const;
    // Closes the open key.
    void SetRoot(RegistryRoot root);

    // Opens the key for reading and writing, creating it when asked to; false when it cannot
    // be opened (or created). The previous key is closed first.
    bool OpenKey(std::string_view key, bool canCreate);
    // Opens an existing key for reading only; writes then fail.
    bool OpenKeyReadOnly(std::string_view key);
    void CloseKey();
    bool HasOpenKey() const;

    bool KeyExists(std::string_view key) const;
    // Deletes a key below the root with everything in it; false when that failed.
    bool DeleteKey(std::string_view key);

    bool ValueExists(std::string_view name) const;
    std::vector<std::string> GetValueNames() const;

    std::string ReadString(std::string_view name) const;
    std::int32_t ReadInteger(std::string_view name) const;
    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, std::int32_t value);
    // False when there was no such value or it could not be deleted.
    bool DeleteValue(std::string_view name);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace lantorvix
