#pragma once

#include "app/shell.h"
#include "app/win32/main_window.h"
#include "app/win32/tray_icon.h"
#include "app/win32/tray_menu.h"

#include "app/win32/win_api.h"

#include <optional>

namespace lantorvix {

class TForm1;

namespace win32 {

// The Win32 desktop of Lantorvix.exe: the "TForm1" settings window, the tray icon and its
// menu, MessageBoxW boxes, Timer1 as a window timer and the thread's message loop (which
// also serves the port's hidden windows and the dispatcher's wake-ups). Every user event
// goes into the attached form through TForm1::RunHandler.
//
// Thread-safety: the user-interface thread only.
class Win32Shell : public Shell, private MainWindowEvents {
public:
    explicit Win32Shell(HINSTANCE instance);
    ~Win32Shell() override;

    // The form that receives the events; set before the message loop runs. Until then
    // message boxes have no owner window.
    void Attach(TForm1* form);

    HWND WindowHandle() const { return window_.Handle(); }

    void ShowWindow() override;
    void HideWindow() override;
    bool WindowVisible() const override;
    void CloseWindow() override;
    void BringToForeground() override;
    int ItemCount(ComboBox box) const override;
    std::string ItemText(ComboBox box, int index) const override;
    void AddItem(ComboBox box, std::string_view text) override;
    int ItemIndex(ComboBox box) const override;
    void SetItemIndex(ComboBox box, int index) override;
    bool Checked(CheckBox box) const override;
    void SetChecked(CheckBox box, bool checked) override;
    bool AddTrayIcon() override;
    void RemoveTrayIcon() override;
    void PopupTrayMenu() override;
    DialogResult MessageBox(std::string_view text, std::string_view caption, unsigned flags) override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override;
    void ProcessMessages() override;
    int RunMessageLoop() override;
    void Terminate() override;
    void OpenUrl(std::string_view url) override;

private:
    // MainWindowEvents
    void ControlCommand(int id) override;
    TCloseAction CloseRequested() override;
    void Shown() override;
    void TimerTick() override;
    void TrayNotify(UINT mouseMessage) override;
    void Uncaught(std::exception_ptr error) noexcept override;

    template <typename Handler> void Deliver(Handler handler);
    HWND Combo(ComboBox box) const;
    void Dispatch(MSG& msg);

    TForm1* form_ = nullptr;
    MainWindow window_;
    TrayIcon tray_;
    TrayMenu menu_;
    std::optional<POINT> menuPoint_; // the mouse position of the right click on the icon
    bool terminated_ = false;
    int exitCode_ = 0;
};

} // namespace win32
} // namespace lantorvix
