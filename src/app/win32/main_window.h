#pragma once

#include "app/shell.h"

#include "app/win32/win_api.h"

#include <exception>
#include <memory>
#include <string>

namespace lantorvix::win32 {

// The window class of the settings window.
inline constexpr const char* kWindowClass = "TForm1";

// What the main window reports to its owner (the Win32 shell). Called on the window's thread
// from inside the window procedure.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    // The user changed a drop-down list or check box, clicked a button or the logo, or chose a
    // tray menu item (cid:: identifiers).
    virtual void ControlCommand(int id) = 0;
    // Every request to close the window; the answer says what happens to it.
    virtual TCloseAction CloseRequested() = 0;
    // The window is about to become visible.
    virtual void Shown() = 0;
    virtual void TimerTick() = 0;
    // A mouse message over the tray icon (the lParam of the icon's callback message).
    virtual void TrayNotify(UINT mouseMessage) = 0;
    // A failure left one of the calls above: the general error box. Must not throw.
    virtual void Uncaught(std::exception_ptr error) noexcept = 0;
};

// The settings window of class "TForm1": client area 337 x 212 centred on the screen,
// sizeable frame with minimise but no maximise box, button-face background, "MS Sans Serif"
// 8 pt, the child controls of form_layout.h in tab order, the program icon.
//
// Its window procedure looks at the tray icon's callback message first and then passes
// every message on to the default procedure; the close request never destroys the window.
// No exception leaves the window procedure.
//
// Thread-safety: created, used and destroyed on one thread, which runs its message loop.
class MainWindow {
public:
    MainWindow(HINSTANCE instance, MainWindowEvents& events);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    HICON Icon() const { return smallIcon_; }

    void Show();
    void Hide();
    bool Visible() const;

    // The line that says the scanner is awaited; hidden when text is empty.
    void SetStatusLine(const std::wstring& text);

    // Timer1: 1000 ms, repeating. Starting a running timer leaves its interval alone.
    void SetTimerRunning(bool running);
    bool TimerRunning() const { return timerRunning_; }

    // Keyboard navigation between the controls (Tab, arrows); true when the message was used.
    bool PreTranslate(MSG& msg);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void FixComboHeight(HWND combo) const;
    void AddToolTip(HWND control, const wchar_t* text);
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    void OnCommand(WPARAM wParam, LPARAM lParam);

    MainWindowEvents& events_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
    HWND statusLine_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HICON logo_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    bool timerRunning_ = false;
};

} // namespace lantorvix::win32
