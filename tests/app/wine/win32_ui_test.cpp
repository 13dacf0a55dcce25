// The Win32 desktop pieces in process, under Wine: the tray icon record, the tray menu,
// the settings window's procedure (tray notifications, commands, close, timer, failures)
// and message boxes with their flags and Hungarian texts.

#include "app/form_layout.h"
#include "app/win32/main_window.h"
#include "app/win32/message_box.h"
#include "app/win32/tray_icon.h"
#include "app/win32/tray_menu.h"
#include "app/win32/win_api.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

using namespace win32;

struct RecordingEvents : MainWindowEvents {
    std::vector<int> commands;
    std::vector<UINT> tray;
    int closes = 0;
    int shows = 0;
    int ticks = 0;
    int uncaught = 0;
    TCloseAction closeAction = TCloseAction::caHide;
    bool throwOnCommand = false;

    void ControlCommand(int id) override
    {
        commands.push_back(id);
        if (throwOnCommand) {
            throw std::runtime_error("handler failed");
        }
    }
    TCloseAction CloseRequested() override
    {
        ++closes;
        return closeAction;
    }
    void Shown() override { ++shows; }
    void TimerTick() override { ++ticks; }
    void TrayNotify(UINT mouseMessage) override { tray.push_back(mouseMessage); }
    void Uncaught(std::exception_ptr) noexcept override { ++uncaught; }
};

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    RecordingEvents events;
    MainWindow window{GetModuleHandleW(nullptr), events};
};

TEST(TrayIconTest, RecordHasTheDesignedMembers)
{
    RecordingEvents events;
    MainWindow window(GetModuleHandleW(nullptr), events);
    TrayIcon icon(window.Handle(), window.Icon());
    const NOTIFYICONDATAA& r = icon.Record();
#if defined(_WIN64)
    EXPECT_EQ(r.cbSize, 504u);
#else
    EXPECT_EQ(r.cbSize, 488u);
#endif
    EXPECT_EQ(r.hWnd, window.Handle());
    EXPECT_EQ(r.uID, 100u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 1025u);
    EXPECT_NE(r.hIcon, nullptr);
    EXPECT_STREQ(r.szTip, "Lantorvix");
    for (std::size_t i = std::strlen("Lantorvix"); i < sizeof r.szTip; ++i) {
        ASSERT_EQ(r.szTip[i], '\0') << "tool tip padding at " << i;
    }
    EXPECT_EQ(r.dwState, 0u);
    EXPECT_EQ(r.szInfo[0], '\0');
}

TEST(TrayMenuTest, SettingsSeparatorAndDefaultExit)
{
    TrayMenu menu;
    HMENU h = menu.Handle();
    ASSERT_EQ(GetMenuItemCount(h), 3);
    struct Expected {
        UINT id;
        bool separator;
        const wchar_t* text;
    };
    const Expected expected[] = {
        {static_cast<UINT>(cid::Belltsok1), false, L"Be\u00e1ll\u00edt\u00e1sok"},
        {0, true, L""},
        {static_cast<UINT>(cid::Kilps1), false, L"Kil\u00e9p\u00e9s"},
    };
    for (UINT i = 0; i < 3; ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(h, i, TRUE, &info));
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, expected[i].separator) << i;
        if (!expected[i].separator) {
            EXPECT_EQ(info.wID, expected[i].id) << i;
            EXPECT_EQ(std::wstring(text), expected[i].text) << i;
        }
    }
    EXPECT_EQ(GetMenuDefaultItem(h, FALSE, 0), static_cast<UINT>(cid::Kilps1));
}

TEST_F(MainWindowTest, TrayNotificationsReachTheOwnerWithTheMouseMessage)
{
    for (LPARAM mouse :
         {LPARAM{WM_LBUTTONDBLCLK}, LPARAM{WM_RBUTTONDOWN}, LPARAM{WM_LBUTTONUP}, LPARAM{WM_MOUSEMOVE}}) {
        SendMessageW(window.Handle(), TrayIcon::kTrayMessage, TrayIcon::kId, mouse);
    }
    EXPECT_EQ(events.tray, (std::vector<UINT>{515, 516, WM_LBUTTONUP, WM_MOUSEMOVE}));
    EXPECT_FALSE(window.Visible()) << "a notification alone shows nothing";
    EXPECT_EQ(TrayIcon::kTrayMessage, 1025u);
    EXPECT_EQ(TrayClickFor(515), TrayClick::leftDoubleClick);
    EXPECT_EQ(TrayClickFor(516), TrayClick::rightButtonDown);
    for (UINT other : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDBLCLK}) {
        EXPECT_EQ(TrayClickFor(other), TrayClick::other) << other;
    }
}

TEST_F(MainWindowTest, UserActionsOnControlsBecomeCommands)
{
    struct Case {
        int id;
        WORD code;
        bool reported;
    };
    const Case cases[] = {
        {cid::cmbPort, CBN_SELCHANGE, true}, {cid::cmbBaud, CBN_SELCHANGE, true},
        {cid::cmbStop, CBN_SELCHANGE, true}, {cid::cmbAdd, CBN_SELCHANGE, true},
        {cid::cmbAdd, CBN_DROPDOWN, false},  {cid::chkDiscNull, BN_CLICKED, true},
        {cid::ChkAutoRun, BN_CLICKED, true}, {cid::btnOK, BN_CLICKED, true},
        {cid::btnCancel, BN_CLICKED, true},  {cid::Image1, STN_CLICKED, true},
    };
    for (const Case& c : cases) {
        events.commands.clear();
        SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(c.id, c.code),
                     reinterpret_cast<LPARAM>(window.Control(c.id)));
        EXPECT_EQ(events.commands, c.reported ? std::vector<int>{c.id} : std::vector<int>{})
            << FindControl(c.id)->name << " code " << c.code;
    }
    events.commands.clear();
    SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(cid::Kilps1, 0), 0); // a menu item
    SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);    // Esc: no handler
    EXPECT_EQ(events.commands, (std::vector<int>{cid::Kilps1}));
}

TEST_F(MainWindowTest, ClassBackgroundAndFonts)
{
    wchar_t cls[32] = {};
    GetClassNameW(window.Handle(), cls, 32);
    EXPECT_EQ(std::wstring(cls), L"TForm1");
    EXPECT_EQ(GetClassLongPtrW(window.Handle(), GCLP_HBRBACKGROUND),
              static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    for (const ControlLayout& c : FormControls()) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(window.Control(c.id), WM_GETFONT, 0, 0));
        LOGFONTW lf{};
        ASSERT_NE(GetObjectW(font, sizeof lf, &lf), 0) << c.name;
        EXPECT_EQ(std::wstring(lf.lfFaceName), L"MS Sans Serif") << c.name;
        EXPECT_EQ(lf.lfHeight, -11) << c.name;
        EXPECT_EQ(lf.lfWeight, c.kind == ControlKind::boldLabel ? FW_BOLD : FW_NORMAL) << c.name;
    }
}

TEST_F(MainWindowTest, ProgrammaticChangesReportNothing)
{
    SendMessageW(window.Control(cid::cmbStop), CB_SETCURSEL, 1, 0);
    SendMessageW(window.Control(cid::chkDiscNull), BM_SETCHECK, BST_CHECKED, 0);
    Pump();
    EXPECT_TRUE(events.commands.empty());
}

TEST_F(MainWindowTest, CloseRequestNeverDestroysTheWindow)
{
    const TCloseAction actions[] = {TCloseAction::caHide, TCloseAction::caNone, TCloseAction::caFree};
    for (TCloseAction action : actions) {
        window.Show();
        events.closeAction = action;
        SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(window.Handle()));
        EXPECT_EQ(window.Visible(), action == TCloseAction::caNone) << static_cast<int>(action);
    }
    EXPECT_EQ(events.closes, 3);
    EXPECT_GE(events.shows, 1);
}

TEST_F(MainWindowTest, FailureInAHandlerGoesToTheErrorBoxAndNotThroughTheProcedure)
{
    events.throwOnCommand = true;
    SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(cid::btnOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Control(cid::btnOK)));
    EXPECT_EQ(events.uncaught, 1);
}

TEST_F(MainWindowTest, TimerTicksAfterItsIntervalAndStartingItAgainDoesNotRestart)
{
    window.SetTimerRunning(true);
    const auto started = GetTickCount();
    EXPECT_TRUE(window.TimerRunning());
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            Pump();
            // A second start half-way must leave the first deadline alone.
            if (GetTickCount() - started > 500) {
                window.SetTimerRunning(true);
            }
            return events.ticks > 0;
        },
        std::chrono::seconds(5)));
    const auto elapsed = GetTickCount() - started;
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 1450u) << "restarted by the second start";
    window.SetTimerRunning(false);
    EXPECT_FALSE(window.TimerRunning());
}

// Answers the next message box with the given caption from another thread and records what
// it showed.
struct BoxSeen {
    std::wstring text;
    std::vector<int> buttons;
    int defaultButton = 0;
    bool found = false;
};

std::thread AnswerBox(const wchar_t* caption, int answer, BoxSeen& seen)
{
    return std::thread([caption, answer, &seen] {
        HWND box = nullptr;
        seen.found = test::WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) != nullptr; },
                                     std::chrono::seconds(10));
        if (!seen.found) {
            return;
        }
        wchar_t text[256] = {};
        GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 256);
        seen.text = text;
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
            HWND button = GetDlgItem(box, id);
            if (button != nullptr) {
                seen.buttons.push_back(id);
                if ((GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
                    seen.defaultButton = id;
                }
            }
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    });
}

TEST(MessageBoxTest, KindsGiveTheFlagsButtonsAndDefaultAndTextsStayHungarian)
{
    struct Case {
        BoxKind kind;
        UINT flags;
        int answer;
        std::vector<int> buttons;
        int defaultButton;
        BoxAnswer result;
    };
    const Case cases[] = {
        {BoxKind::plain, 0, IDOK, {IDOK}, IDOK, BoxAnswer::ok},
        {BoxKind::error, 16, IDOK, {IDOK}, IDOK, BoxAnswer::ok},
        {BoxKind::warning, 48, IDOK, {IDOK}, IDOK, BoxAnswer::ok},
        {BoxKind::yesNoQuestion, 292, IDNO, {IDYES, IDNO}, IDNO, BoxAnswer::no},
        {BoxKind::yesNoWarning, 308, IDYES, {IDYES, IDNO}, IDNO, BoxAnswer::yes},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageBoxStyle(c.kind), c.flags);
        BoxSeen seen;
        std::thread answerer = AnswerBox(L"Lantorvix", c.answer, seen);
        const BoxAnswer result = ShowMessageBox(nullptr, "Biztosan ki akar lépni? őű", "Lantorvix", c.kind);
        answerer.join();
        ASSERT_TRUE(seen.found) << c.flags;
        EXPECT_EQ(result, c.result) << c.flags;
        EXPECT_EQ(seen.text, L"Biztosan ki akar l\u00e9pni? \u0151\u0171") << c.flags;
        EXPECT_EQ(seen.buttons, c.buttons) << c.flags;
        EXPECT_EQ(seen.defaultButton, c.defaultButton) << c.flags;
    }
}

} // namespace
} // namespace lantorvix
