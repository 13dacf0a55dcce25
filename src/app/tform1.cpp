// Start-up, the window's own events, the tray menu, the exit and the general error box.

#include "app/tform1.h"

#include "app/app_texts.h"
#include "app/general_error.h"
#include "base/scoped_flag.h"
#include "base/utf8.h"
#include "serial/com_port.h"

#include <optional>

namespace lantorvix {
namespace {

std::optional<TBaudRate> PortBaudRate(int baudRate)
{
    switch (baudRate) {
    case 1200:
        return TBaudRate::br1200;
    case 2400:
        return TBaudRate::br2400;
    case 4800:
        return TBaudRate::br4800;
    case 9600:
        return TBaudRate::br9600;
    case 19200:
        return TBaudRate::br19200;
    default:
        return std::nullopt;
    }
}

} // namespace

TForm1::TForm1(Services services)
    : shell_(services.shell), system_(services.system), keyboard_(services.keyboard),
      createPort_(std::move(services.createPort)), codePage_(services.codePage),
      makerUrl_(std::move(services.makerUrl)), title_(ApplicationTitle(system_.ExecutablePath())),
      deviceIdentity_(services.deviceIdentity), now_(std::move(services.now))
{
    if (services.createDeviceWatch) {
        deviceWatch_ = services.createDeviceWatch();
    }
}

TForm1::~TForm1()
{
    StopWaitingForPort();
    if (comPort_) {
        // No reception may reach a form that is going away; the port closes with itself.
        comPort_->OnRxChar = nullptr;
        comPort_->OnDeviceLost = nullptr;
    }
}

bool TForm1::Connected() const
{
    return comPort_ && comPort_->Connected();
}

void TForm1::FormCreate()
{
    scanBuffer_.clear();
    scanTimedOut_ = false;
    shell_.AddTrayIcon(); // a desktop without a tray: the program runs without the icon
    comPort_ = createPort_();
    LoadAppSettings();
    FillPortList();
    if (shell_.ItemIndex(ComboBox::cmbPort) <= 0) {
        if (appSettings_.PortName != kNoPort) {
            // Not plugged in yet (autostart often runs before the adapter is ready).
            ConfigureScannerPort();
            WaitForPort();
        }
        shell_.BringToForeground();
    } else {
        OpenScannerPort();
    }
}

void TForm1::OpenScannerPort()
{
    ConfigureScannerPort();
    try {
        comPort_->Open();
    } catch (...) {
        shell_.MessageBox(texts::kPortOpenError, texts::kCaption, BoxKind::error);
        shell_.BringToForeground();
        // The box said it; the scanner is still awaited and opened when it can be.
        BackOff();
        WaitForPort();
        return;
    }
    PortOpened();
}

void TForm1::ConfigureScannerPort()
{
    TComPort& port = *comPort_;
    port.SetEvents(TComEvents{TComEvent::evRxChar});
    port.SetPort(appSettings_.PortName);
    if (const auto rate = PortBaudRate(appSettings_.BaudRate)) {
        port.SetBaudRate(*rate);
    }
    // Through RunHandler: a failure in a reception must never travel into the event thread.
    port.OnRxChar = [this](TCustomComPort&, std::int32_t count) {
        RunHandler([&] { ComPortRxChar(count); });
    };
    port.OnDeviceLost = [this](TCustomComPort&) { RunHandler([&] { ComPortDeviceLost(); }); };
    port.SetDataBits(TDataBits::dbEight);
    port.SetStopBits(TStopBits::sbOneStopBit);
}

void TForm1::FormClose(TCloseAction& action)
{
    action = TCloseAction::caNone;
    if (!closingWindow_ && !shell_.TrayAvailable()) {
        // Hiding would leave nothing to reach the program by: the user's close means exit,
        // asked first; the window stays meanwhile.
        Kilps1Click();
        return;
    }
    shell_.HideWindow();
}

void TForm1::CloseSettingsWindow()
{
    const ScopedFlag scope(closingWindow_);
    shell_.CloseWindow();
}

bool TForm1::AnotherCopyStarted()
{
    if (shell_.TrayAvailable() || terminated_) {
        return false;
    }
    Belltsok1Click();
    return true;
}

void TForm1::FormShow()
{
    // Ports that appeared since the list was filled can be chosen; a choice not yet applied
    // stays while its port is there.
    const int item = shell_.ItemIndex(ComboBox::cmbPort);
    RefreshPortList(item > 0 ? shell_.ItemText(ComboBox::cmbPort, item) : comPort_->Port());
}

void TForm1::Belltsok1Click()
{
    shell_.ShowWindow();
}

void TForm1::TrayIconNotify(TrayClick notification)
{
    switch (notification) {
    case TrayClick::leftDoubleClick:
        shell_.BringToForeground();
        shell_.ProcessMessages();
        shell_.ShowWindow();
        break;
    case TrayClick::rightButtonDown:
        shell_.BringToForeground();
        shell_.ProcessMessages();
        shell_.PopupTrayMenu();
        break;
    case TrayClick::other:
        break;
    }
}

void TForm1::Kilps1Click()
{
    if (shell_.MessageBox(texts::kConfirmExit, texts::kCaption, BoxKind::yesNoQuestion) != BoxAnswer::yes) {
        return;
    }
    EndProgram();
}

void TForm1::EndProgram()
{
    if (terminated_) {
        return;
    }
    StopWaitingForPort();
    shell_.RemoveTrayIcon();
    shell_.ProcessMessages();
    terminated_ = true;
    shell_.Terminate();
}

void TForm1::btnCancelClick()
{
    CloseSettingsWindow();
}

void TForm1::Image1Click()
{
    shell_.OpenUrl(makerUrl_);
}

void TForm1::btnOKClick()
{
    const int item = shell_.ItemIndex(ComboBox::cmbPort);
    if (item > 0) {
        StopWaitingForPort(); // an explicit choice wins
        comPort_->Close();
        portIdentity_.clear();
        quickFailures_ = 0;
        nextTry_ = {};
        appSettings_.PortName = shell_.ItemText(ComboBox::cmbPort, item);
        OpenScannerPort();
        if (Connected()) {
            SaveAppSettings();
            SyncAutoRun(true);
            CloseSettingsWindow();
        }
        return;
    }
    if (shell_.MessageBox(texts::kNoPortConfirm, texts::kCaption, BoxKind::yesNoWarning) != BoxAnswer::yes) {
        return;
    }
    StopWaitingForPort();
    comPort_->Close();
    appSettings_.PortName = std::string(kNoPort);
    SaveAppSettings();
    SyncAutoRun(true);
    CloseSettingsWindow();
}

void TForm1::RunHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowGeneralError(e.what());
    }
}

void TForm1::ShowGeneralError(std::string_view message)
{
    shell_.MessageBox(ToUtf8(GeneralErrorText(message)), ToUtf8(title_), BoxKind::error);
}

std::string TForm1::ToUtf8(std::string_view text) const
{
    // Failure messages are 8-bit texts of the program's code page; one that is already
    // valid UTF-8 (plain ASCII included) passes unchanged.
    return IsValidUtf8(text) ? std::string(text) : AnsiToUtf8(text, codePage_);
}

} // namespace lantorvix
