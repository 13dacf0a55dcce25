#include "app/system/win32/win32_autostart_store.h"

#include "base/resource_strings.h"
#include "store/registry_store.h"
#include "store/store_text.h"

namespace lantorvix {

namespace {
constexpr const char* kRunKey = "\\software\\microsoft\\windows\\currentversion\\run";

class RunKeyStore final : public AutostartStore {
public:
    std::string Read(std::string_view name) override
    {
        try {
            return registry_.ReadString(name);
        } catch (const ERegistryException&) {
            return {}; // a value of another type is no autostart entry of ours
        }
    }
    void Write(std::string_view name, std::string_view data) override { registry_.WriteString(name, data); }
    void Remove(std::string_view name) override
    {
        // Only a value that stays behind is a failure; one that was never there is not.
        if (!registry_.DeleteValue(name) && registry_.ValueExists(name)) {
            throw ERegistryException(store::Message(res::SFailedToSetData, name));
        }
    }

    RegistryStore& Registry() { return registry_; }

private:
    RegistryStore registry_{RegistryRoot::LocalMachine};
};
} // namespace

std::unique_ptr<AutostartStore> OpenRunKey(AutostartAccess access)
{
    auto store = std::make_unique<RunKeyStore>();
    const bool opened = access == AutostartAccess::ReadOnly ? store->Registry().OpenKeyReadOnly(kRunKey)
                                                            : store->Registry().OpenKey(kRunKey, true);
    if (!opened) {
        return nullptr;
    }
    return store;
}

} // namespace lantorvix
