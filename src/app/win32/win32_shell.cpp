#include "app/win32/win32_shell.h"

#include "app/form_layout.h"
#include "app/general_error.h"
#include "app/tform1.h"
#include "app/win32/main_window.h"
#include "app/win32/message_box.h"
#include "app/win32/tray_icon.h"
#include "app/win32/tray_menu.h"
#include "app/win32/wide_text.h"

#include <shellapi.h>

#include <exception>
#include <optional>
#include <vector>

namespace lantorvix::win32 {
namespace {

class Win32Shell final : public Shell, private MainWindowEvents {
public:
    explicit Win32Shell(HINSTANCE instance)
        : window_(instance, *this), tray_(window_.Handle(), window_.Icon()), greyIcon_(window_.Icon())
    {}

    void Attach(TForm1* form) override { form_ = form; }

    void ShowWindow() override { window_.Show(); }
    void HideWindow() override { window_.Hide(); }
    bool WindowVisible() const override { return window_.Visible(); }
    void CloseWindow() override { SendMessageW(window_.Handle(), WM_CLOSE, 0, 0); }
    void BringToForeground() override { SetForegroundWindow(window_.Handle()); }

    int ItemCount(ComboBox box) const override
    {
        return static_cast<int>(SendMessageW(Combo(box), CB_GETCOUNT, 0, 0));
    }
    std::string ItemText(ComboBox box, int index) const override;
    void AddItem(ComboBox box, std::string_view text) override
    {
        SendMessageW(Combo(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    }
    void KeepItems(ComboBox box, int count) override
    {
        while (ItemCount(box) > count) {
            SendMessageW(Combo(box), CB_DELETESTRING, static_cast<WPARAM>(ItemCount(box) - 1), 0);
        }
    }
    int ItemIndex(ComboBox box) const override
    {
        const LRESULT index = SendMessageW(Combo(box), CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? -1 : static_cast<int>(index);
    }
    void SetItemIndex(ComboBox box, int index) override
    {
        SendMessageW(Combo(box), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    bool Checked(CheckBox box) const override
    {
        return SendMessageW(window_.Control(ControlId(box)), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void SetChecked(CheckBox box, bool checked) override
    {
        SendMessageW(window_.Control(ControlId(box)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    bool AddTrayIcon() override { return tray_.Add(); }
    void RemoveTrayIcon() override { tray_.Remove(); }
    void PopupTrayMenu() override;
    void SetPortStatus(std::string_view waitingText) override
    {
        const bool waiting = !waitingText.empty();
        HICON icon = waiting && greyIcon_.Handle() != nullptr ? greyIcon_.Handle() : window_.Icon();
        tray_.SetLook(icon, waiting ? waitingText : "Lantorvix");
        window_.SetStatusLine(Widen(waitingText));
    }
    bool TrayAvailable() const override { return true; }
    bool ShowRunningCopy() override { return false; }

    BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxKind kind) override
    {
        return ShowMessageBox(form_ != nullptr ? window_.Handle() : nullptr, text, caption, kind);
    }

    void SetTimerEnabled(bool enabled) override { window_.SetTimerRunning(enabled); }
    bool TimerEnabled() const override { return window_.TimerRunning(); }

    void ProcessMessages() override;
    int RunMessageLoop() override;
    void Terminate() override
    {
        terminated_ = true;
        PostQuitMessage(exitCode_);
    }
    void OpenUrl(std::string_view url) override
    {
        ShellExecuteW(window_.Handle(), L"open", Widen(url).c_str(), L"", L"", SW_SHOW);
    }

private:
    // MainWindowEvents
    void ControlCommand(int id) override;
    TCloseAction CloseRequested() override;
    void Shown() override { Deliver(&TForm1::FormShow); }
    void TimerTick() override { Deliver(&TForm1::Timer1Timer); }
    void TrayNotify(UINT mouseMessage) override;
    void Uncaught(std::exception_ptr error) noexcept override;

    void Deliver(const std::function<void(TForm1&)>& handler)
    {
        if (form_ != nullptr) {
            TForm1& form = *form_;
            form.RunHandler([&] { handler(form); });
        }
    }
    HWND Combo(ComboBox box) const { return window_.Control(ControlId(box)); }
    void Dispatch(MSG& msg);

    TForm1* form_ = nullptr;
    MainWindow window_;
    TrayIcon tray_;
    GreyedIcon greyIcon_;
    TrayMenu menu_;
    std::optional<POINT> menuPoint_; // the mouse position of the right click on the icon
    bool terminated_ = false;
    int exitCode_ = 0;
};

std::string Win32Shell::ItemText(ComboBox box, int index) const
{
    const LRESULT length = SendMessageW(Combo(box), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    SendMessageW(Combo(box), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return Narrow(text.data());
}

void Win32Shell::PopupTrayMenu()
{
    POINT at{};
    if (menuPoint_) {
        at = *menuPoint_;
        menuPoint_.reset();
    } else {
        GetCursorPos(&at);
    }
    menu_.Popup(window_.Handle(), at);
}

void Win32Shell::Dispatch(MSG& msg)
{
    if (!window_.PreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Win32Shell::ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the end request for the loop that owns it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int Win32Shell::RunMessageLoop()
{
    MSG msg;
    while (!terminated_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        Dispatch(msg);
    }
    return exitCode_;
}

void Win32Shell::ControlCommand(int id)
{
    if (const MenuItemLayout* item = FindMenuItem(id)) {
        Deliver(item->handler);
        return;
    }
    const ControlLayout* control = FindControl(id);
    if (control != nullptr && control->handler != nullptr) {
        Deliver(control->handler);
    }
}

TCloseAction Win32Shell::CloseRequested()
{
    TCloseAction action = TCloseAction::caHide;
    Deliver([&action](TForm1& f) { f.FormClose(action); });
    return action;
}

void Win32Shell::TrayNotify(UINT mouseMessage)
{
    const TrayClick click = TrayClickFor(mouseMessage);
    if (click == TrayClick::rightButtonDown) {
        POINT at{};
        if (GetCursorPos(&at)) {
            menuPoint_ = at;
        }
    }
    Deliver([click](TForm1& f) { f.TrayIconNotify(click); });
    menuPoint_.reset();
}

void Win32Shell::Uncaught(std::exception_ptr error) noexcept
{
    try {
        if (form_ != nullptr) {
            form_->RunHandler([error] { std::rethrow_exception(error); });
            return;
        }
        std::string message = "Unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            message = e.what();
        } catch (...) {
        }
        ShowMessageBox(nullptr, GeneralErrorText(message), "Lantorvix", BoxKind::error);
    } catch (...) {
        // Nothing is left to report it with; the program carries on.
    }
}

} // namespace

std::unique_ptr<Shell> CreateWin32Shell(HINSTANCE instance)
{
    return std::make_unique<Win32Shell>(instance);
}

} // namespace lantorvix::win32
