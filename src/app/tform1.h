#pragma once

#include "app/app_settings.h"
#include "app/modifier_guard.h"
#include "app/shell.h"
#include "app/system/device_identity.h"
#include "app/system/device_watch.h"
#include "app/system/system_services.h"
#include "base/codepage.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lantorvix {

class KeyboardPlatform;
class TComPort;

// The program's main window logic: start-up, tray menu, scanner input, settings file and
// autostart, settings window. Free of any desktop: it talks to the window, tray, boxes and
// timer through Shell, to the machine through SystemServices, types through a
// KeyboardPlatform and reads the scanner through the TComPort it creates and owns.
//
// Handlers carry the names of the window's events; the sending control is implied. A shell
// calls each of them through RunHandler, which shows any failure in the general error box.
//
// Thread-safety: everything runs on the user-interface thread (the port delivers its
// receptions there by a synchronised call). Not synchronised.
class TForm1 {
public:
    using PortFactory = std::function<std::unique_ptr<TComPort>()>;

    struct Services {
        Shell& shell;
        SystemServices& system;
        KeyboardPlatform& keyboard;
        PortFactory createPort;
        // Code page of 8-bit texts (failure messages, codes) for the shell's UTF-8.
        CodePage codePage = CodePage::cp1252;
        std::string makerUrl;
        // The watch for a port that went away or is not there yet; without one, a lost port
        // is closed and stays closed.
        std::function<std::unique_ptr<DeviceWatch>()> createDeviceWatch;
        // Tells the scanner from another device that takes its kernel name; without one, any
        // device at the port's name is the scanner.
        DeviceIdentity* deviceIdentity = nullptr;
        // The clock the back-off between tries reads; the steady clock when empty.
        std::function<std::chrono::steady_clock::time_point()> now = {};
    };

    explicit TForm1(Services services);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Start-up and exit.
    void FormCreate();
    void OpenScannerPort();
    void FormClose(TCloseAction& action);
    void FormShow();
    void Kilps1Click();
    void Belltsok1Click();
    void TrayIconNotify(TrayClick notification);
    // A second start asks this copy to show itself: true when the window was shown (no tray
    // shows the program); false when the second copy is to warn as described (a tray is
    // there, or the exit was confirmed and there is no window to come back to).
    bool AnotherCopyStarted();

    // Scanner input.
    void ComPortRxChar(int count);
    void Timer1Timer();

    // Recovery: the port's device went away; it may be back (a watch's chance).
    void ComPortDeviceLost();
    void PortMayBeBack();
    // True while the form waits for its port to come back (or to appear at start-up).
    bool WaitingForPort() const;

    // Settings file and autostart.
    void LoadAppSettings();
    void SaveAppSettings();
    void SyncAutoRun(bool write);
    void FillPortList();

    // Settings window.
    void cmbPortChange();
    void cmbBaudChange();
    void cmbStopChange();
    void cmbAddChange();
    void chkDiscNullClick();
    void btnOKClick();
    void btnCancelClick();
    void Image1Click();

    // Runs a handler; a failure that leaves it is shown in the general error box and the
    // program carries on.
    void RunHandler(const std::function<void()>& handler);
    // The general error box for a failure message (8-bit, in the program's code page).
    void ShowGeneralError(std::string_view message);

    // The application title (captions the general error box, names the autostart entry).
    const std::string& Title() const { return title_; }

    // State, for the program entry and for tests.
    const AppSettings& Settings() const { return appSettings_; }
    const std::string& ScanBuffer() const { return scanBuffer_; }
    bool ScanTimedOut() const { return scanTimedOut_; }
    TComPort& ComPort() { return *comPort_; }
    bool Connected() const;
    // True once the exit was confirmed.
    bool Terminated() const { return terminated_; }
    // The exit "Kilépés" makes once confirmed, without the question: the system asked the
    // program to end (SIGTERM at log-out, SIGINT, SIGHUP). The settings stay as they are.
    void EndProgram();

    // ScanBuffer never keeps this many characters: a code and its stop string must fit below
    // it. Room for the largest 2D symbols (about 7,000 characters) with any stop string.
    static constexpr std::size_t kScanBufferLimit = 16384;

private:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The port object takes the scanner's settings and handlers, without opening.
    void ConfigureScannerPort();
    // Closes the settings window as the program's own act (not the user's close request).
    void CloseSettingsWindow();
    void WaitForPort();
    void StopWaitingForPort();
    // The port just opened: the list shows it, the status is the described one, and the
    // device behind it is remembered.
    void PortOpened();
    // A try that failed or a device lost soon after opening: the next try waits longer.
    void BackOff();
    // Rebuilds the Port list from the machine's ports and selects the item named selected
    // ("NINCS" when it is not listed).
    void RefreshPortList(const std::string& selected);
    TimePoint Now() const;
    void ExtractCodes();
    // Types one code; the failure message when the key sender raised one.
    std::optional<std::string> TypeCode(const std::string& code, const std::string& added);
    std::string ToUtf8(std::string_view ansi) const;
    std::string SettingsFileName() const;

    Shell& shell_;
    SystemServices& system_;
    ModifierGuard keyboard_;
    PortFactory createPort_;
    CodePage codePage_;
    std::string makerUrl_;
    std::string title_;

    std::unique_ptr<TComPort> comPort_;
    std::unique_ptr<DeviceWatch> deviceWatch_;
    DeviceIdentity* deviceIdentity_;
    std::function<TimePoint()> now_;
    // The device that was open at the port (empty: not known), so that another one taking
    // its kernel name is not opened, and the same one is found under a new name.
    std::string portIdentity_;
    std::optional<TimePoint> openedAt_;
    TimePoint nextTry_{};
    int quickFailures_ = 0;
    AppSettings appSettings_;
    std::string scanBuffer_;
    bool scanTimedOut_ = false;
    bool terminated_ = false;
    bool closingWindow_ = false; // inside CloseSettingsWindow
};

} // namespace lantorvix
