// The registry object over the Windows registry (ANSI API: names and data are 8-bit texts in
// the ANSI code page, as everywhere in the program).
#include "store/registry_store.h"

#include "base/resource_strings.h"
#include "store/store_text.h"

#include <windows.h>

#include <vector>

namespace lantorvix {

namespace {
HKEY RootHandle(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string KeyPath(std::string_view key)
{
    while (!key.empty() && key.front() == '\\') {
        key.remove_prefix(1);
    }
    return std::string(key);
}

[[noreturn]] void Fail(std::string_view pattern, std::string_view name)
{
    throw ERegistryException(store::Message(pattern, name));
}
} // namespace

struct RegistryStore::Impl {
    RegistryRoot root = RegistryRoot::CurrentUser;
    HKEY key = nullptr;

    // The value's type and size; false when it does not exist.
    bool Query(const std::string& name, DWORD& type, DWORD& size) const
    {
        size = 0;
        return key != nullptr &&
               RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    }

    void Set(const std::string& name, DWORD type, const void* data, DWORD size)
    {
        if (key == nullptr || RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                             size) != ERROR_SUCCESS) {
            Fail(res::SFailedToSetData, name);
        }
    }
};

RegistryStore::RegistryStore(RegistryRoot root) : impl_(std::make_unique<Impl>())
{
    impl_->root = root;
}

RegistryStore::~RegistryStore()
{
    CloseKey();
}

RegistryRoot RegistryStore::Root() const
{
    return impl_->root;
}

void RegistryStore::SetRoot(RegistryRoot root)
{
    CloseKey();
    impl_->root = root;
}

bool RegistryStore::OpenKey(std::string_view key, bool canCreate)
{
    CloseKey();
    const std::string path = KeyPath(key);
    HKEY handle = nullptr;
    LONG result;
    if (canCreate) {
        result = RegCreateKeyExA(RootHandle(impl_->root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    } else {
        result = RegOpenKeyExA(RootHandle(impl_->root), path.c_str(), 0, KEY_ALL_ACCESS, &handle);
    }
    if (result != ERROR_SUCCESS) {
        return false;
    }
    impl_->key = handle;
    return true;
}

bool RegistryStore::OpenKeyReadOnly(std::string_view key)
{
    CloseKey();
    HKEY handle = nullptr;
    if (RegOpenKeyExA(RootHandle(impl_->root), KeyPath(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    impl_->key = handle;
    return true;
}

void RegistryStore::CloseKey()
{
    if (impl_->key != nullptr) {
        RegCloseKey(impl_->key);
        impl_->key = nullptr;
    }
}

bool RegistryStore::HasOpenKey() const
{
    return impl_->key != nullptr;
}

bool RegistryStore::KeyExists(std::string_view key) const
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(RootHandle(impl_->root), KeyPath(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

bool RegistryStore::DeleteKey(std::string_view key)
{
    const std::string path = KeyPath(key);
    HKEY handle = nullptr;
    if (RegOpenKeyExA(RootHandle(impl_->root), path.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) {
        return false;
    }
    // Subkeys first: RegDeleteKey removes only empty keys.
    for (;;) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        if (!DeleteKey(std::string(path).append("\\").append(name, length))) {
            break;
        }
    }
    RegCloseKey(handle);
    return RegDeleteKeyA(RootHandle(impl_->root), path.c_str()) == ERROR_SUCCESS;
}

bool RegistryStore::ValueExists(std::string_view name) const
{
    DWORD type = 0;
    DWORD size = 0;
    return impl_->Query(std::string(name), type, size);
}

std::vector<std::string> RegistryStore::GetValueNames() const
{
    std::vector<std::string> names;
    if (impl_->key == nullptr) {
        return names;
    }
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(impl_->key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::vector<char> buffer(longest + 1);
    for (DWORD i = 0; i < count; ++i) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumValueA(impl_->key, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            names.emplace_back(buffer.data(), length);
        }
    }
    return names;
}

std::string RegistryStore::ReadString(std::string_view name) const
{
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (!impl_->Query(valueName, type, size)) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        Fail(store::SInvalidRegType, valueName);
    }
    std::string data(size, '\0');
    if (size > 0 && RegQueryValueExA(impl_->key, valueName.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
        Fail(store::SRegGetDataFailed, valueName);
    }
    data.resize(size);
    // The stored size counts the terminating NUL (when the writer included one).
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return data;
}

std::int32_t RegistryStore::ReadInteger(std::string_view name) const
{
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (!impl_->Query(valueName, type, size)) {
        Fail(store::SRegGetDataFailed, valueName);
    }
    if (type != REG_DWORD || size != sizeof(DWORD)) {
        Fail(store::SInvalidRegType, valueName);
    }
    DWORD value = 0;
    if (RegQueryValueExA(impl_->key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
        Fail(store::SRegGetDataFailed, valueName);
    }
    return static_cast<std::int32_t>(value);
}

void RegistryStore::WriteString(std::string_view name, std::string_view value)
{
    const std::string data(value);
    impl_->Set(std::string(name), REG_SZ, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

void RegistryStore::WriteInteger(std::string_view name, std::int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    impl_->Set(std::string(name), REG_DWORD, &data, sizeof data);
}

bool RegistryStore::DeleteValue(std::string_view name)
{
    return impl_->key != nullptr && RegDeleteValueA(impl_->key, std::string(name).c_str()) == ERROR_SUCCESS;
}

} // namespace lantorvix
