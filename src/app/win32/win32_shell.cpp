#include "app/win32/win32_shell.h"

#include "app/general_error.h"
#include "app/tform1.h"
#include "app/win32/form_layout.h"
#include "app/win32/message_box.h"
#include "app/win32/wide_text.h"

#include <shellapi.h>

#include <exception>
#include <vector>

namespace lantorvix::win32 {

Win32Shell::Win32Shell(HINSTANCE instance) : window_(instance, *this), tray_(window_.Handle(), window_.Icon())
{}

Win32Shell::~Win32Shell() = default;

void Win32Shell::Attach(TForm1* form)
{
    form_ = form;
}

template <typename Handler> void Win32Shell::Deliver(Handler handler)
{
    if (form_ != nullptr) {
        form_->RunHandler(handler);
    }
}

void Win32Shell::ShowWindow()
{
    window_.Show();
}

void Win32Shell::HideWindow()
{
    window_.Hide();
}

bool Win32Shell::WindowVisible() const
{
    return window_.Visible();
}

void Win32Shell::CloseWindow()
{
    SendMessageW(window_.Handle(), WM_CLOSE, 0, 0);
}

void Win32Shell::BringToForeground()
{
    SetForegroundWindow(window_.Handle());
}

HWND Win32Shell::Combo(ComboBox box) const
{
    return window_.Control(ControlId(box));
}

int Win32Shell::ItemCount(ComboBox box) const
{
    return static_cast<int>(SendMessageW(Combo(box), CB_GETCOUNT, 0, 0));
}

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

void Win32Shell::AddItem(ComboBox box, std::string_view text)
{
    SendMessageW(Combo(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

int Win32Shell::ItemIndex(ComboBox box) const
{
    const LRESULT index = SendMessageW(Combo(box), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32Shell::SetItemIndex(ComboBox box, int index)
{
    SendMessageW(Combo(box), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool Win32Shell::Checked(CheckBox box) const
{
    return SendMessageW(window_.Control(ControlId(box)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Shell::SetChecked(CheckBox box, bool checked)
{
    SendMessageW(window_.Control(ControlId(box)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Shell::AddTrayIcon()
{
    return tray_.Add();
}

void Win32Shell::RemoveTrayIcon()
{
    tray_.Remove();
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

DialogResult Win32Shell::MessageBox(std::string_view text, std::string_view caption, unsigned flags)
{
    return ShowMessageBox(form_ != nullptr ? window_.Handle() : nullptr, text, caption, flags);
}

void Win32Shell::SetTimerEnabled(bool enabled)
{
    window_.SetTimerRunning(enabled);
}

bool Win32Shell::TimerEnabled() const
{
    return window_.TimerRunning();
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

void Win32Shell::Terminate()
{
    terminated_ = true;
    PostQuitMessage(exitCode_);
}

void Win32Shell::OpenUrl(std::string_view url)
{
    ShellExecuteW(window_.Handle(), L"open", Widen(url).c_str(), L"", L"", SW_SHOW);
}

void Win32Shell::ControlCommand(int id)
{
    if (form_ == nullptr) {
        return;
    }
    TForm1& f = *form_;
    switch (id) {
    case cid::cmbPort:
        Deliver([&f] { f.cmbPortChange(); });
        break;
    case cid::cmbBaud:
        Deliver([&f] { f.cmbBaudChange(); });
        break;
    case cid::cmbStop:
        Deliver([&f] { f.cmbStopChange(); });
        break;
    case cid::cmbAdd:
        Deliver([&f] { f.cmbAddChange(); });
        break;
    case cid::chkDiscNull:
        Deliver([&f] { f.chkDiscNullClick(); });
        break;
    case cid::btnOK:
        Deliver([&f] { f.btnOKClick(); });
        break;
    case cid::btnCancel:
        Deliver([&f] { f.btnCancelClick(); });
        break;
    case cid::Image1:
        Deliver([&f] { f.Image1Click(); });
        break;
    case cid::Belltsok1:
        Deliver([&f] { f.Belltsok1Click(); });
        break;
    case cid::Kilps1:
        Deliver([&f] { f.Kilps1Click(); });
        break;
    default: // ChkAutoRun has no handler: it is read when the settings are applied
        break;
    }
}

TCloseAction Win32Shell::CloseRequested()
{
    TCloseAction action = TCloseAction::caHide;
    Deliver([this, &action] { form_->FormClose(action); });
    return action;
}

void Win32Shell::Shown()
{
    Deliver([this] { form_->FormShow(); });
}

void Win32Shell::TimerTick()
{
    Deliver([this] { form_->Timer1Timer(); });
}

void Win32Shell::TrayNotify(UINT mouseMessage)
{
    TrayNotification notification = TrayNotification::other;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        notification = TrayNotification::wmLButtonDblClk;
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        notification = TrayNotification::wmRButtonDown;
        POINT at{};
        if (GetCursorPos(&at)) {
            menuPoint_ = at;
        }
    }
    Deliver([this, notification] { form_->TrayIconNotify(notification); });
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
        ShowMessageBox(nullptr, GeneralErrorText(message), "Lantorvix", mb::Error);
    } catch (...) {
        // Nothing is left to report it with; the program carries on.
    }
}

} // namespace lantorvix::win32
