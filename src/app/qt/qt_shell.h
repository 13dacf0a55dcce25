#pragma once

#include "app/qt/settings_window.h"
#include "app/shell.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

namespace lantorvix {

class TForm1;

// The Qt desktop of the Linux program: the settings window, a QSystemTrayIcon with its
// menu, QMessageBox boxes, Timer1 as a QTimer and Qt's event loop. Routes every user event
// into the attached form through TForm1::RunHandler. Main thread only. The QApplication
// must exist before it is constructed.
class QtShell : public Shell {
public:
    // makerUrl: the logo's tool tip.
    explicit QtShell(const std::string& makerUrl = {});
    ~QtShell() override;

    // The form that receives the events; set before the first event can arrive.
    void Attach(TForm1* form);
    // A desktop without a tray (trayless_desktop.h): asked first when the user closes the
    // window (title bar, Alt+F4), never for CloseWindow; true when it took the request over
    // and the window stays as it is.
    std::function<bool()> onUserClose;

    SettingsWindow& Window() { return *window_; }
    QSystemTrayIcon& TrayIcon() { return *tray_; }
    QMenu& TrayMenu() { return *menu_; }

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
    template <typename Handler> void Deliver(Handler handler);
    void ConnectWindow();

    TForm1* form_ = nullptr;
    std::unique_ptr<SettingsWindow> window_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QTimer timer_;
    bool programmatic_ = false;     // set while this shell changes a control itself
    bool closingByProgram_ = false; // set inside CloseWindow
};

} // namespace lantorvix
