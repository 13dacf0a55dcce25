// The registry object on systems without a registry: keys are folders, values live in one
// small file per key (see store/registry_store.h).
#include "store/registry_store.h"

#include "base/ascii.h"
#include "base/posix/user_paths.h"
#include "base/resource_strings.h"
#include "store/atomic_file.h"
#include "store/posix/registry_file.h"
#include "store/store_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace lantorvix {

namespace fs = std::filesystem;
using store::RegistryValue;

namespace {
constexpr const char* kValuesFile = ".values";

fs::path StoreBase()
{
    return posix::UserConfigHome() / "Lantorvix" / "registry";
}

const char* RootFolder(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::optional<fs::path> KeyFolder(RegistryRoot root, std::string_view key)
{
    fs::path folder = StoreBase() / RootFolder(root);
    bool any = false;
    while (!key.empty()) {
        const std::size_t sep = key.find('\\');
        const std::string_view part = key.substr(0, sep);
        key = sep == std::string_view::npos ? std::string_view() : key.substr(sep + 1);
        if (!part.empty()) {
            folder /= store::KeyFolderName(part);
            any = true;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    return folder;
}

[[noreturn]] void Fail(std::string_view pattern, std::string_view name)
{
    throw ERegistryException(store::Message(pattern, name));
}
} // namespace

struct RegistryStore::Impl {
    RegistryRoot root;
    std::optional<fs::path> key;
    bool readOnly = false;

    std::vector<RegistryValue> Values() const
    {
        if (!key) {
            return {};
        }
        return store::ParseRegistryValues(store::ReadWholeFile(*key / kValuesFile).value_or(std::string()));
    }

    bool Save(const std::vector<RegistryValue>& values) const
    {
        return key && !readOnly && fs::is_directory(*key) &&
               store::WriteWholeFile(*key / kValuesFile, store::SerializeRegistryValues(values));
    }

    std::optional<RegistryValue> Find(std::string_view name) const
    {
        for (auto& value : Values()) {
            if (ascii::EqualIgnoringCase(value.name, name)) {
                return value;
            }
        }
        return std::nullopt;
    }

    void Write(std::string_view name, std::variant<std::string, std::int32_t> data)
    {
        auto values = Values();
        const auto it = std::find_if(values.begin(), values.end(), [&](const RegistryValue& v) {
            return ascii::EqualIgnoringCase(v.name, name);
        });
        if (it != values.end()) {
            it->data = std::move(data);
        } else {
            values.push_back({std::string(name), std::move(data)});
        }
        if (name.empty() || !Save(values)) {
            Fail(res::SFailedToSetData, name);
        }
    }
};

RegistryStore::RegistryStore(RegistryRoot root) : impl_(std::make_unique<Impl>())
{
    impl_->root = root;
}

RegistryStore::~RegistryStore() = default;

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
    const auto folder = KeyFolder(impl_->root, key);
    if (!folder) {
        return false;
    }
    std::error_code ec;
    if (canCreate) {
        fs::create_directories(*folder, ec);
    }
    if (!fs::is_directory(*folder, ec)) {
        return false;
    }
    impl_->key = folder;
    impl_->readOnly = false;
    return true;
}

bool RegistryStore::OpenKeyReadOnly(std::string_view key)
{
    if (!OpenKey(key, false)) {
        return false;
    }
    impl_->readOnly = true;
    return true;
}

void RegistryStore::CloseKey()
{
    impl_->key.reset();
    impl_->readOnly = false;
}

bool RegistryStore::HasOpenKey() const
{
    return impl_->key.has_value();
}

bool RegistryStore::KeyExists(std::string_view key) const
{
    const auto folder = KeyFolder(impl_->root, key);
    std::error_code ec;
    return folder && fs::is_directory(*folder, ec);
}

bool RegistryStore::DeleteKey(std::string_view key)
{
    const auto folder = KeyFolder(impl_->root, key);
    std::error_code ec;
    if (!folder || !fs::is_directory(*folder, ec)) {
        return false;
    }
    fs::remove_all(*folder, ec);
    return !ec;
}

bool RegistryStore::ValueExists(std::string_view name) const
{
    return impl_->Find(name).has_value();
}

std::vector<std::string> RegistryStore::GetValueNames() const
{
    std::vector<std::string> names;
    for (auto& value : impl_->Values()) {
        names.push_back(std::move(value.name));
    }
    return names;
}

std::string RegistryStore::ReadString(std::string_view name) const
{
    const auto value = impl_->Find(name);
    if (!value) {
        return {};
    }
    if (const auto* text = std::get_if<std::string>(&value->data)) {
        return *text;
    }
    Fail(store::SInvalidRegType, name);
}

std::int32_t RegistryStore::ReadInteger(std::string_view name) const
{
    const auto value = impl_->Find(name);
    if (!value) {
        Fail(store::SRegGetDataFailed, name);
    }
    if (const auto* number = std::get_if<std::int32_t>(&value->data)) {
        return *number;
    }
    Fail(store::SInvalidRegType, name);
}

void RegistryStore::WriteString(std::string_view name, std::string_view value)
{
    impl_->Write(name, std::string(value));
}

void RegistryStore::WriteInteger(std::string_view name, std::int32_t value)
{
    impl_->Write(name, value);
}

bool RegistryStore::DeleteValue(std::string_view name)
{
    auto values = impl_->Values();
    const auto it = std::remove_if(values.begin(), values.end(), [&](const RegistryValue& v) {
        return ascii::EqualIgnoringCase(v.name, name);
    });
    if (it == values.end()) {
        return false;
    }
    values.erase(it, values.end());
    return impl_->Save(values);
}

} // namespace lantorvix
