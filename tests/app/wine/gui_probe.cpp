// Looks at and drives the Lantorvix windows from another process, for the Wine tests.
// usage: gui_probe.exe <command> [args]; prints results on standard output (UTF-8) and
// exits 0 on success, 1 when a wait timed out or a window is missing, 2 on bad usage.
//
//   wait-window <class> visible|hidden|exists|gone <ms>   wait for a top-level window state
//   layout                       the settings window: caption, styles, client size, colour,
//                                every control (name class left top width height "text"),
//                                the tab order
//   state                        selections and check states of the settings window
//   select <control> <index>     choose a drop-down item as the user does (CBN_SELCHANGE)
//   check <control> 0|1          click a check box when its state differs
//   click <control>              click a button or the logo
//   close                        the title bar's close request (WM_CLOSE)
//   msgbox <caption> <ms> [ok|yes|no]   wait for a message box, print its text, buttons
//                                and default button, then answer it
//   no-msgbox <caption> <ms>     succeed when no such box appears within ms
//   menu <ms> [first|last|none]  wait for an open popup menu, print its items, then choose
//                                the first or last item with the keyboard (or close it)
//   tray-notify <lParam>         post the tray icon's callback message to the window
//   activate <class>             bring a window to the foreground

#include "app/form_layout.h"
#include "app/win32/main_window.h"
#include "support/wait_until.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace lantorvix;
using namespace lantorvix::win32;

std::string Utf8(const std::wstring& w)
{
    if (w.empty()) {
        return {};
    }
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& s)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string WindowText(HWND hwnd)
{
    wchar_t buffer[512] = {};
    // WM_GETTEXT works across processes, unlike GetWindowText on another process's controls.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return Utf8(buffer);
}

std::string ClassOf(HWND hwnd)
{
    wchar_t buffer[128] = {};
    GetClassNameW(hwnd, buffer, 128);
    return Utf8(buffer);
}

// Escapes control characters so that a text prints on one line.
std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out;
}

template <typename Predicate> bool WaitFor(int ms, Predicate done)
{
    // Another process's windows signal nothing we can wait on: poll with a bound.
    return test::WaitUntil(done, std::chrono::milliseconds(ms));
}

HWND Form()
{
    return FindWindowW(Wide(kWindowClass).c_str(), nullptr);
}

HWND RequireForm()
{
    HWND form = Form();
    if (form == nullptr) {
        std::printf("no TForm1 window\n");
        std::exit(1);
    }
    return form;
}

HWND ControlByName(const char* name)
{
    for (const ControlLayout& c : FormControls()) {
        if (std::strcmp(c.name, name) == 0) {
            return GetDlgItem(RequireForm(), c.id);
        }
    }
    std::fprintf(stderr, "unknown control %s\n", name);
    std::exit(2);
}

RECT ClientRectOf(HWND control, HWND parent)
{
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int Layout()
{
    HWND form = RequireForm();
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    RECT client{};
    GetClientRect(form, &client);
    RECT outer{};
    GetWindowRect(form, &outer);
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    const int screenH = GetSystemMetrics(SM_CYSCREEN);
    std::printf("caption \"%s\"\n", WindowText(form).c_str());
    std::printf("client %ld %ld\n", client.right, client.bottom);
    std::printf("centred %d\n", std::abs((outer.left + outer.right) - screenW) <= 1 &&
                                        std::abs((outer.top + outer.bottom) - screenH) <= 1
                                    ? 1
                                    : 0);
    std::printf("style sysmenu=%d minimizebox=%d maximizebox=%d thickframe=%d\n",
                (style & WS_SYSMENU) ? 1 : 0, (style & WS_MINIMIZEBOX) ? 1 : 0,
                (style & WS_MAXIMIZEBOX) ? 1 : 0, (style & WS_THICKFRAME) ? 1 : 0);
    // What the user sees between the controls (class data and GDI handles of another
    // process cannot be read here).
    POINT spot{5, 5};
    ClientToScreen(form, &spot);
    HDC screen = GetDC(nullptr);
    const COLORREF pixel = GetPixel(screen, spot.x, spot.y);
    ReleaseDC(nullptr, screen);
    std::printf("background %s\n", pixel == GetSysColor(COLOR_BTNFACE) ? "btnface" : "other");
    for (const ControlLayout& c : FormControls()) {
        HWND control = GetDlgItem(form, c.id);
        if (control == nullptr) {
            std::printf("control %s missing\n", c.name);
            continue;
        }
        const RECT rc = ClientRectOf(control, form);
        const LONG cs = GetWindowLongW(control, GWL_STYLE);
        std::printf("control %s %s %ld %ld %ld %ld dropdownlist=%d \"%s\"\n", c.name,
                    ClassOf(control).c_str(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                    (cs & 3) == CBS_DROPDOWNLIST && ClassOf(control) == "ComboBox" ? 1 : 0,
                    Escaped(WindowText(control)).c_str());
    }
    // Tab order: walk the tab stops from the first one.
    std::printf("tab");
    HWND first = GetNextDlgTabItem(form, nullptr, FALSE);
    HWND item = first;
    for (int i = 0; item != nullptr && i < 32; ++i) {
        const ControlLayout* c = FindControl(GetDlgCtrlID(item));
        std::printf(" %s", c != nullptr ? c->name : "?");
        item = GetNextDlgTabItem(form, item, FALSE);
        if (item == first) {
            break;
        }
    }
    std::printf("\n");
    return 0;
}

int State()
{
    HWND form = RequireForm();
    std::printf("visible %d\n", IsWindowVisible(form) ? 1 : 0);
    for (const char* name : {"cmbPort", "cmbBaud", "cmbStop", "cmbAdd"}) {
        HWND combo = ControlByName(name);
        const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        std::printf("%s %ld", name, static_cast<long>(SendMessageW(combo, CB_GETCURSEL, 0, 0)));
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            std::printf(" \"%s\"", Utf8(text).c_str());
        }
        std::printf("\n");
    }
    for (const char* name : {"chkDiscNull", "ChkAutoRun"}) {
        std::printf("%s %d\n", name,
                    SendMessageW(ControlByName(name), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    }
    return 0;
}

void PostCommand(HWND control, WORD code)
{
    PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                 reinterpret_cast<LPARAM>(control));
}

int Select(const char* name, int index)
{
    HWND combo = ControlByName(name);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostCommand(combo, CBN_SELCHANGE);
    return 0;
}

int Check(const char* name, bool on)
{
    HWND box = ControlByName(name);
    const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (checked != on) {
        // The check box toggles itself, then notifies its parent, as with a mouse click.
        SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        PostCommand(box, BN_CLICKED);
    }
    return 0;
}

int Click(const char* name)
{
    HWND control = ControlByName(name);
    PostCommand(control, ClassOf(control) == "Static" ? STN_CLICKED : BN_CLICKED);
    return 0;
}

HWND FindBox(const std::wstring& caption)
{
    return FindWindowW(L"#32770", caption.c_str());
}

int MsgBox(const std::string& caption, int ms, const char* answer)
{
    const std::wstring wcaption = Wide(caption);
    HWND box = nullptr;
    if (!WaitFor(ms, [&] { return (box = FindBox(wcaption)) != nullptr && IsWindowVisible(box); })) {
        std::printf("no message box \"%s\"\n", caption.c_str());
        return 1;
    }
    // The text control of a message box has the identifier 0xFFFF.
    std::printf("text \"%s\"\n", Escaped(WindowText(GetDlgItem(box, 0xFFFF))).c_str());
    std::printf("buttons");
    struct Button {
        int id;
        const char* name;
    };
    for (Button b :
         {Button{IDOK, "ok"}, Button{IDYES, "yes"}, Button{IDNO, "no"}, Button{IDCANCEL, "cancel"}}) {
        if (GetDlgItem(box, b.id) != nullptr) {
            std::printf(" %s", b.name);
        }
    }
    // The default button carries BS_DEFPUSHBUTTON (DM_GETDEFID is not answered the same way
    // everywhere).
    const char* def = "none";
    for (Button b :
         {Button{IDOK, "ok"}, Button{IDYES, "yes"}, Button{IDNO, "no"}, Button{IDCANCEL, "cancel"}}) {
        HWND button = GetDlgItem(box, b.id);
        if (button != nullptr && (GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
            def = b.name;
        }
    }
    std::printf("\ndefault %s\n", def);
    std::printf("owner %s\n",
                GetWindow(box, GW_OWNER) != nullptr ? ClassOf(GetWindow(box, GW_OWNER)).c_str() : "none");
    std::fflush(stdout);
    if (answer != nullptr) {
        const int id = std::strcmp(answer, "yes") == 0 ? IDYES : std::strcmp(answer, "no") == 0 ? IDNO : IDOK;
        HWND button = GetDlgItem(box, id);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        if (!WaitFor(5000, [&] { return !IsWindow(box); })) {
            std::printf("message box did not close\n");
            return 1;
        }
    }
    return 0;
}

int NoMsgBox(const std::string& caption, int ms)
{
    const std::wstring wcaption = Wide(caption);
    HWND box = nullptr;
    if (WaitFor(ms, [&] { return (box = FindBox(wcaption)) != nullptr; })) {
        std::printf("unexpected message box \"%s\"\n", Escaped(WindowText(GetDlgItem(box, 0xFFFF))).c_str());
        return 1;
    }
    return 0;
}

int Menu(int ms, const char* choice)
{
    HWND menu = nullptr;
    if (!WaitFor(ms, [&] {
            return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu);
        })) {
        std::printf("no popup menu\n");
        return 1;
    }
    auto hmenu = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    const int count = hmenu != nullptr ? GetMenuItemCount(hmenu) : -1;
    std::printf("items %d\n", count);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(hmenu, static_cast<UINT>(i), TRUE, &info);
        std::printf("item %d %s%s \"%s\"\n", i, (info.fType & MFT_SEPARATOR) ? "separator" : "string",
                    (info.fState & MFS_DEFAULT) ? " default" : "", Utf8(text).c_str());
    }
    std::fflush(stdout);
    // The menu loop of the owning thread reads keyboard messages from its queue.
    if (std::strcmp(choice, "none") == 0) {
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        PostMessageW(menu, WM_KEYDOWN, std::strcmp(choice, "first") == 0 ? VK_DOWN : VK_UP, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    }
    return 0;
}

int WaitWindow(const std::string& cls, const std::string& state, int ms)
{
    const std::wstring wcls = Wide(cls);
    const bool ok = WaitFor(ms, [&] {
        HWND w = FindWindowW(wcls.c_str(), nullptr);
        if (state == "gone") {
            return w == nullptr;
        }
        if (state == "exists") {
            return w != nullptr;
        }
        if (w == nullptr) {
            return false;
        }
        return (IsWindowVisible(w) != FALSE) == (state == "visible");
    });
    std::printf("%s %s\n", cls.c_str(), ok ? state.c_str() : "timeout");
    return ok ? 0 : 1;
}

int Activate(const std::string& cls)
{
    HWND w = FindWindowW(Wide(cls).c_str(), nullptr);
    if (w == nullptr) {
        std::printf("no %s window\n", cls.c_str());
        return 1;
    }
    SetForegroundWindow(w);
    SendMessageTimeoutW(w, WM_APP, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto need = [&](std::size_t n) {
        if (args.size() < n) {
            std::fprintf(stderr, "gui_probe: missing arguments\n");
            std::exit(2);
        }
    };
    need(1);
    const std::string& cmd = args[0];
    if (cmd == "wait-window") {
        need(4);
        return WaitWindow(args[1], args[2], std::atoi(args[3].c_str()));
    }
    if (cmd == "layout") {
        return Layout();
    }
    if (cmd == "state") {
        return State();
    }
    if (cmd == "select") {
        need(3);
        return Select(args[1].c_str(), std::atoi(args[2].c_str()));
    }
    if (cmd == "check") {
        need(3);
        return Check(args[1].c_str(), args[2] == "1");
    }
    if (cmd == "click") {
        need(2);
        return Click(args[1].c_str());
    }
    if (cmd == "close") {
        PostMessageW(RequireForm(), WM_CLOSE, 0, 0);
        return 0;
    }
    if (cmd == "msgbox") {
        need(3);
        return MsgBox(args[1], std::atoi(args[2].c_str()), args.size() > 3 ? args[3].c_str() : nullptr);
    }
    if (cmd == "no-msgbox") {
        need(3);
        return NoMsgBox(args[1], std::atoi(args[2].c_str()));
    }
    if (cmd == "menu") {
        need(2);
        return Menu(std::atoi(args[1].c_str()), args.size() > 2 ? args[2].c_str() : "none");
    }
    if (cmd == "tray-notify") {
        need(2);
        PostMessageW(RequireForm(), WM_USER + 1, 100, std::atol(args[1].c_str()));
        return 0;
    }
    if (cmd == "activate") {
        need(2);
        return Activate(args[1]);
    }
    std::fprintf(stderr, "gui_probe: unknown command %s\n", cmd.c_str());
    return 2;
}
