#include "support/fake_shell.h"

#include "app/form_layout.h"
#include "app/tform1.h"

namespace lantorvix::test {
namespace {

std::size_t At(ComboBox box)
{
    return static_cast<std::size_t>(box);
}
std::size_t At(CheckBox box)
{
    return static_cast<std::size_t>(box);
}

} // namespace

// The user's change reaches the handler that the form's control table names, as in the
// real shells.
void FakeShell::UserChanged(int id)
{
    if (const ControlLayout* control = FindControl(id); control != nullptr && control->handler != nullptr) {
        UserClick([handler = control->handler](TForm1& f) { (f.*handler)(); });
    }
}

FakeShell::FakeShell()
{
    for (ComboBox box : {ComboBox::cmbPort, ComboBox::cmbBaud, ComboBox::cmbStop, ComboBox::cmbAdd}) {
        const ControlLayout& c = *FindControl(ControlId(box));
        items[At(box)].assign(c.items.begin(), c.items.end());
        itemIndex[At(box)] = c.initial;
    }
    for (CheckBox box : {CheckBox::chkDiscNull, CheckBox::ChkAutoRun}) {
        checked[At(box)] = FindControl(ControlId(box))->initial != 0;
    }
}

void FakeShell::UserSelect(ComboBox box, int index)
{
    SetItemIndex(box, index);
    UserChanged(ControlId(box));
}

void FakeShell::UserCheck(CheckBox box, bool value)
{
    SetChecked(box, value);
    UserChanged(ControlId(box));
}

void FakeShell::UserClick(const std::function<void(TForm1&)>& handler)
{
    if (form_ != nullptr) {
        form_->RunHandler([&] { handler(*form_); });
    }
}

void FakeShell::UserClose()
{
    CloseWindow();
}

bool FakeShell::Tick()
{
    if (!timer) {
        return false;
    }
    UserClick([](TForm1& f) { f.Timer1Timer(); });
    return true;
}

std::vector<std::string> FakeShell::BoxTexts() const
{
    std::vector<std::string> texts;
    for (const auto& b : boxes) {
        texts.push_back(b.text);
    }
    return texts;
}

void FakeShell::ShowWindow()
{
    calls.emplace_back("show");
    windowVisible = true;
}

void FakeShell::HideWindow()
{
    calls.emplace_back("hide");
    windowVisible = false;
}

void FakeShell::CloseWindow()
{
    calls.emplace_back("close");
    TCloseAction action = TCloseAction::caHide;
    if (form_ != nullptr) {
        form_->RunHandler([&] { form_->FormClose(action); });
    }
    if (action != TCloseAction::caNone) {
        windowVisible = false;
    }
}

void FakeShell::BringToForeground()
{
    calls.emplace_back("foreground");
}

int FakeShell::ItemCount(ComboBox box) const
{
    return static_cast<int>(items[At(box)].size());
}

std::string FakeShell::ItemText(ComboBox box, int index) const
{
    const auto& list = items[At(box)];
    return index >= 0 && index < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(index)] : "";
}

void FakeShell::AddItem(ComboBox box, std::string_view text)
{
    items[At(box)].emplace_back(text);
}

void FakeShell::KeepItems(ComboBox box, int count)
{
    auto& list = items[At(box)];
    if (count < static_cast<int>(list.size())) {
        list.resize(static_cast<std::size_t>(count));
    }
    if (itemIndex[At(box)] >= count) {
        itemIndex[At(box)] = -1;
    }
}

int FakeShell::ItemIndex(ComboBox box) const
{
    return itemIndex[At(box)];
}

void FakeShell::SetItemIndex(ComboBox box, int index)
{
    itemIndex[At(box)] = index >= 0 && index < ItemCount(box) ? index : -1;
}

bool FakeShell::Checked(CheckBox box) const
{
    return checked[At(box)];
}

void FakeShell::SetChecked(CheckBox box, bool value)
{
    checked[At(box)] = value;
}

bool FakeShell::AddTrayIcon()
{
    calls.emplace_back("tray add");
    trayIcon = trayAvailable;
    return trayAvailable;
}

void FakeShell::RemoveTrayIcon()
{
    calls.emplace_back("tray remove");
    trayIcon = false;
}

void FakeShell::PopupTrayMenu()
{
    calls.emplace_back("tray menu");
}

void FakeShell::SetPortStatus(std::string_view waitingText)
{
    portStatus = waitingText;
}

BoxAnswer FakeShell::MessageBox(std::string_view text, std::string_view caption, BoxKind kind)
{
    calls.push_back("box " + std::string(text));
    Box box{std::string(text), std::string(caption), kind};
    boxes.push_back(box);
    if (onBox) {
        onBox(box);
    }
    if (!IsYesNo(kind)) {
        return BoxAnswer::ok;
    }
    if (answers.empty()) {
        return BoxAnswer::no;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeShell::SetTimerEnabled(bool enabled)
{
    if (enabled != timer) {
        calls.emplace_back(enabled ? "timer on" : "timer off");
    }
    timer = enabled;
}

void FakeShell::ProcessMessages()
{
    calls.emplace_back("process");
}

int FakeShell::RunMessageLoop()
{
    calls.emplace_back("loop");
    return 0;
}

void FakeShell::Terminate()
{
    calls.emplace_back("terminate");
    terminated = true;
}

void FakeShell::OpenUrl(std::string_view url)
{
    calls.push_back("url " + std::string(url));
}

} // namespace lantorvix::test
