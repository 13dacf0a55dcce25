#pragma once

#include <string>
#include <string_view>

namespace lantorvix {

class TForm1;

// The drop-down lists and check boxes of the settings window.
enum class ComboBox { cmbPort, cmbBaud, cmbStop, cmbAdd };
enum class CheckBox { chkDiscNull, ChkAutoRun };

// The message boxes the program shows: buttons, default button and icon. Each desktop
// maps them to its own; the Win32 flags are 0, 16, 48, 292 and 308.
enum class BoxKind {
    plain,         // OK, no icon (the key-sequence language's boxes)
    error,         // OK, error icon
    warning,       // OK, warning icon
    yesNoQuestion, // Yes and No, No the default, question icon
    yesNoWarning,  // Yes and No, No the default, warning icon
};

constexpr bool IsYesNo(BoxKind kind)
{
    return kind == BoxKind::yesNoQuestion || kind == BoxKind::yesNoWarning;
}

// The button that closed a message box; closing a yes/no box otherwise answers No.
enum class BoxAnswer { ok, yes, no };

// What the window does after its close handler ran.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Mouse actions on the tray icon that the form answers; anything else is `other`.
enum class TrayClick { leftDoubleClick, rightButtonDown, other };

// The desktop around TForm1: the settings window with its controls, the tray icon and its
// menu, message boxes, the one-second Timer1, the message loop. One implementation per
// desktop (Qt on Linux, Win32 on Windows) plus a scriptable fake for tests.
//
// Contract
// - Texts crossing this interface are UTF-8.
// - The window and its controls exist from construction, hidden, as the control table
//   (form_layout.h) describes them: caption, geometry, texts, list items, design state. The
//   lists accept only their own items.
// - Setting a selection or a check state through this interface never calls a handler.
//   Only the user does: the shell then calls the handler the control table names.
// - Every call from the shell into the form goes through TForm1::RunHandler, which shows
//   any failure in the general error box; the shell catches nothing itself.
// - Events the shell delivers into the form: button clicks (btnOKClick, btnCancelClick),
//   logo click (Image1Click), window shown (FormShow), every request to close the window
//   (title bar, Alt+F4, CloseWindow) to FormClose, which decides (caNone = stay open but
//   hidden by the form itself); tray mouse notifications to TrayIconNotify; tray menu items
//   to Belltsok1Click / Kilps1Click; each Timer1 tick to Timer1Timer; a second start's
//   request to show the running copy (where the desktop has such a channel) to
//   AnotherCopyStarted, whose answer the shell passes back.
// - The shell reports what the desktop offers (TrayAvailable); the form decides what
//   follows from it.
// - Everything runs on the user-interface thread; no method may be called from another one.
// - Message boxes are modal and run a nested loop: other events (port receptions, timer
//   ticks) may be delivered into the form while one is open.
class Shell {
public:
    virtual ~Shell() = default;

    // The form that receives the events; nullptr detaches it. Until a form is attached,
    // user events are dropped and message boxes have no owner window.
    virtual void Attach(TForm1* form) = 0;

    // Settings window.
    virtual void ShowWindow() = 0; // make visible and activate (also when already visible)
    virtual void HideWindow() = 0;
    virtual bool WindowVisible() const = 0;
    // Asks the window to close: the shell hands the request to TForm1::FormClose.
    virtual void CloseWindow() = 0;
    // Brings the program's window to the foreground (SetForegroundWindow).
    virtual void BringToForeground() = 0;

    // Drop-down lists.
    virtual int ItemCount(ComboBox box) const = 0;
    virtual std::string ItemText(ComboBox box, int index) const = 0;
    virtual void AddItem(ComboBox box, std::string_view text) = 0;
    // Removes the items from index count on (the list's own leading items stay).
    virtual void KeepItems(ComboBox box, int count) = 0;
    virtual int ItemIndex(ComboBox box) const = 0; // -1 when nothing is selected
    virtual void SetItemIndex(ComboBox box, int index) = 0;

    // Check boxes.
    virtual bool Checked(CheckBox box) const = 0;
    virtual void SetChecked(CheckBox box, bool checked) = 0;

    // Tray icon with tool tip "Lantorvix"; false when the desktop refused it.
    virtual bool AddTrayIcon() = 0;
    virtual void RemoveTrayIcon() = 0;
    // Opens the tray menu ("Beállítások", separator, "Kilépés" bold default) at the mouse.
    virtual void PopupTrayMenu() = 0;
    // The scanner's state where the user sees it. Empty: the icon and tool tip as described,
    // no status line in the window. Otherwise the port is awaited: the icon looks greyed, and
    // the tool tip and one line in the window say text.
    virtual void SetPortStatus(std::string_view waitingText) = 0;
    // Whether the desktop shows tray icons now, asked each time. Without a tray (a Linux
    // desktop without a notification area) the window is the only way to reach the program,
    // and the form keeps it so. Win32: always true.
    virtual bool TrayAvailable() const = 0;
    // Another copy holds the single-instance guard: asks it to show its window; true when it
    // did, and the second-copy warning is then not due. Win32: always false.
    virtual bool ShowRunningCopy() = 0;

    // Modal message box. Called once before the form exists (the second-copy warning): then
    // it has no owner.
    virtual BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxKind kind) = 0;

    // Timer1: repeating, 1000 ms. Enabling a running timer does not restart its interval.
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;

    // Runs the events already waiting (Application.ProcessMessages).
    virtual void ProcessMessages() = 0;
    // Runs the message loop until Terminate; returns the process exit code.
    virtual int RunMessageLoop() = 0;
    virtual void Terminate() = 0;

    // Opens a web address with the desktop's default handler.
    virtual void OpenUrl(std::string_view url) = 0;
};

} // namespace lantorvix
