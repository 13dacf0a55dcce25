#include "app/system/win32/win32_system_services.h"

#include "app/system/win32/win32_autostart_store.h"
#include "base/win32/module_path.h"
#include "store/registry_store.h"

#include <windows.h>

#include <filesystem>
#include <vector>

namespace lantorvix {

namespace {
constexpr const char* kSerialComm = "hardware\\devicemap\\serialcomm";

// Owns the mutex handle; releases the mutex first when this thread took it.
class MutexGuard final : public SingleInstanceGuard {
public:
    MutexGuard(HANDLE mutex, bool owned) : mutex_(mutex), owned_(owned) {}
    ~MutexGuard() override
    {
        if (mutex_ != nullptr) {
            if (owned_) {
                ReleaseMutex(mutex_);
            }
            CloseHandle(mutex_);
        }
    }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;

private:
    HANDLE mutex_;
    bool owned_;
};
} // namespace

std::unique_ptr<SingleInstanceGuard> Win32SystemServices::LockSingleInstance(std::string_view name)
{
    const std::string mutexName(name);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    if (mutex == nullptr) {
        return std::make_unique<MutexGuard>(nullptr, false);
    }
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_TIMEOUT) {
        CloseHandle(mutex);
        return nullptr;
    }
    // Acquired, or abandoned by a copy that ended without releasing it (now ours), or the
    // wait failed: start-up goes on in every case.
    return std::make_unique<MutexGuard>(mutex, result == WAIT_OBJECT_0 || result == WAIT_ABANDONED);
}

std::unique_ptr<AutostartStore> Win32SystemServices::OpenAutostart(AutostartAccess access)
{
    return OpenRunKey(access);
}

std::vector<SerialPortEntry> Win32SystemServices::EnumerateSerialPorts(std::string_view)
{
    std::vector<SerialPortEntry> ports;
    RegistryStore registry(RegistryRoot::LocalMachine);
    if (!registry.OpenKeyReadOnly(kSerialComm)) {
        return ports;
    }
    for (auto& name : registry.GetValueNames()) {
        try {
            std::string port = registry.ReadString(name);
            ports.push_back({std::move(name), std::move(port)});
        } catch (const ERegistryException&) {
            // Not a port name: skipped.
        }
    }
    return ports;
}

// In the ANSI code page, as the settings file name and the autostart entry are kept.
std::string Win32SystemServices::ExecutablePath()
{
    const std::wstring wide = win32::ModulePath();
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    std::string path(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, path.data(), static_cast<int>(path.size()), nullptr,
                        nullptr);
    return path;
}

std::string Win32SystemServices::SettingsFilePath(std::string_view fileName)
{
    const std::string local = std::string(".\\").append(fileName);
    std::error_code ec;
    if (std::filesystem::exists(local, ec)) {
        return local;
    }
    std::string exe = ExecutablePath();
    const std::size_t slash = exe.find_last_of("\\/");
    if (slash == std::string::npos) {
        return local;
    }
    exe.resize(slash + 1);
    return exe.append(fileName);
}

std::unique_ptr<SystemServices> CreateSystemServices()
{
    return std::make_unique<Win32SystemServices>();
}

} // namespace lantorvix
