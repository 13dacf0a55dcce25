#pragma once

#include "app/shell.h"

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace lantorvix {
class TForm1;
}

namespace lantorvix::test {

// A scriptable Shell for the unit tests of TForm1: controls are plain lists, message boxes
// are recorded and answered from a script, the timer is a flag the test ticks by hand, and
// the "user" methods deliver events into the attached form the way a real shell does
// (through TForm1::RunHandler). Not thread-safe: one test thread.
class FakeShell : public Shell {
public:
    struct Box {
        std::string text;
        std::string caption;
        BoxKind kind = BoxKind::plain;
        bool operator==(const Box&) const = default;
    };

    FakeShell();

    void Attach(TForm1* form) override { form_ = form; }
    TForm1* Attached() const { return form_; }

    // Answers for the next yes/no boxes, in order; when none is left, boxes answer no
    // (yes/no) or ok.
    std::deque<BoxAnswer> answers;
    std::vector<Box> boxes;
    // Every call that changes something or reaches the desktop, in order ("show", "hide",
    // "close", "foreground", "tray add", "tray remove", "tray menu", "process", "terminate",
    // "url <u>", "box <text>", "timer on", "timer off").
    std::vector<std::string> calls;
    // Runs inside every MessageBox before it returns (events during a modal box).
    std::function<void(const Box&)> onBox;

    bool windowVisible = false;
    bool trayIcon = false;
    bool trayAvailable = true;
    bool runningCopyShows = false; // what another copy answers a second start
    bool timer = false;
    std::string portStatus; // the waiting text shown; empty: the described look
    bool terminated = false;
    std::array<std::vector<std::string>, 4> items;
    std::array<int, 4> itemIndex{};
    std::array<bool, 2> checked{};

    // User actions, delivered into the attached form.
    void UserSelect(ComboBox box, int index);
    void UserCheck(CheckBox box, bool value);
    void UserClick(const std::function<void(TForm1&)>& handler);
    // Title-bar close: asks the form through FormClose.
    void UserClose();
    // One timer tick, when the timer runs; returns whether it ticked.
    bool Tick();

    std::vector<std::string> BoxTexts() const;

    void ShowWindow() override;
    void HideWindow() override;
    bool WindowVisible() const override { return windowVisible; }
    void CloseWindow() override;
    void BringToForeground() override;
    int ItemCount(ComboBox box) const override;
    std::string ItemText(ComboBox box, int index) const override;
    void AddItem(ComboBox box, std::string_view text) override;
    void KeepItems(ComboBox box, int count) override;
    int ItemIndex(ComboBox box) const override;
    void SetItemIndex(ComboBox box, int index) override;
    bool Checked(CheckBox box) const override;
    void SetChecked(CheckBox box, bool value) override;
    bool AddTrayIcon() override;
    void RemoveTrayIcon() override;
    void PopupTrayMenu() override;
    void SetPortStatus(std::string_view waitingText) override;
    bool TrayAvailable() const override { return trayAvailable; }
    bool ShowRunningCopy() override { return runningCopyShows; }
    BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxKind kind) override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override { return timer; }
    void ProcessMessages() override;
    int RunMessageLoop() override;
    void Terminate() override;
    void OpenUrl(std::string_view url) override;

private:
    void UserChanged(int id);

    TForm1* form_ = nullptr;
};

} // namespace lantorvix::test
