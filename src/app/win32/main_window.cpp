#include "app/win32/main_window.h"

#include "app/form_layout.h"
#include "app/win32/resource_ids.h"
#include "app/win32/tray_icon.h"
#include "app/win32/wide_text.h"
#include "base/exception.h"

#include <commctrl.h>

#include <string>

namespace lantorvix::win32 {

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerInterval = 1000;
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
// Room for the open list of a drop-down (8 items), beyond its closed height.
constexpr int kDropDownListHeight = 8 * 13 + 2;

HFONT MakeFont(int weight)
{
    // 8 pt at 96 dpi; the window is not DPI aware, so the system scales it as a whole.
    return CreateFontW(-11, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

int TextWidth(HFONT font, const std::wstring& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

struct ControlClass {
    const wchar_t* className;
    DWORD style;
};

ControlClass ClassFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::label:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX};
    case ControlKind::boldLabel:
        return {L"STATIC", SS_CENTER | SS_NOPREFIX};
    case ControlKind::comboList:
        return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::checkBox:
        return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::button:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
    case ControlKind::horizontalLine:
    case ControlKind::verticalLine:
        return {L"STATIC", SS_OWNERDRAW};
    case ControlKind::picture:
        return {L"STATIC", SS_OWNERDRAW | SS_NOTIFY};
    }
    return {L"STATIC", 0};
}

ATOM RegisterFormClass(HINSTANCE instance, HICON big, HICON small)
{
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW; // replaced per window once its object is attached
        wc.hInstance = instance;
        wc.hIcon = big;
        wc.hIconSm = small;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        const std::wstring name = Widen(kWindowClass);
        wc.lpszClassName = name.c_str();
        atom = RegisterClassExW(&wc);
        if (atom == 0) {
            throw Exception("RegisterClassEx failed");
        }
    }
    return atom;
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, MainWindowEvents& events) : events_(events), instance_(instance)
{
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    // Shared icons live as long as the module: the window class keeps using them.
    const auto iconId = MAKEINTRESOURCEW(LANTORVIX_IDI_MAIN);
    bigIcon_ = static_cast<HICON>(LoadImageW(instance, iconId, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance, iconId, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    logo_ = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(LANTORVIX_IDI_LOGO), IMAGE_ICON, 48, 48, LR_SHARED));
    font_ = MakeFont(FW_NORMAL);
    boldFont_ = MakeFont(FW_BOLD);

    const ATOM atom = RegisterFormClass(instance, bigIcon_, smallIcon_);
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    hwnd_ = CreateWindowExW(kExStyle, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)),
                            Widen(kWindowCaption).c_str(), kStyle, x, y, width, height, nullptr, nullptr,
                            instance, nullptr);
    if (hwnd_ == nullptr) {
        throw Exception("CreateWindowEx failed");
    }
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::WindowProc));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    CreateControls();
}

MainWindow::~MainWindow()
{
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kTimerId);
        // Detach first: the destruction's messages must not reach a half-destroyed object.
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
        DestroyWindow(hwnd_);
    }
    if (tooltip_ != nullptr) {
        DestroyWindow(tooltip_);
    }
    DeleteObject(font_);
    DeleteObject(boldFont_);
}

void MainWindow::SetStatusLine(const std::wstring& text)
{
    if (statusLine_ == nullptr) {
        statusLine_ =
            CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kStatusLeft,
                            kStatusTop, kStatusWidth, kLabelHeight + 2, hwnd_, nullptr, instance_, nullptr);
        if (statusLine_ == nullptr) {
            return;
        }
        SendMessageW(statusLine_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    SetWindowTextW(statusLine_, text.c_str());
    ::ShowWindow(statusLine_, text.empty() ? SW_HIDE : SW_SHOWNA);
}

void MainWindow::CreateControls()
{
    for (const ControlLayout& c : FormControls()) {
        const ControlClass cls = ClassFor(c.kind);
        const std::wstring text = Widen(c.kind == ControlKind::picture ? "" : c.text);
        HFONT font = c.kind == ControlKind::boldLabel ? boldFont_ : font_;
        int width = c.width;
        if (width == 0) {
            width = TextWidth(font, text);
        }
        const int height = c.kind == ControlKind::comboList ? c.height + kDropDownListHeight : c.height;
        HWND child = CreateWindowExW(0, cls.className, text.c_str(), WS_CHILD | WS_VISIBLE | cls.style,
                                     c.left, c.top, width, height, hwnd_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
        if (child == nullptr) {
            throw Exception(std::string("cannot create control ") + c.name);
        }
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.kind == ControlKind::comboList) {
            for (const char* item : c.items) {
                SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
            }
            SendMessageW(child, CB_SETCURSEL, static_cast<WPARAM>(c.initial), 0);
            FixComboHeight(child);
        }
        if (c.kind == ControlKind::checkBox) {
            SendMessageW(child, BM_SETCHECK, c.initial != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        if (c.kind == ControlKind::picture) {
            AddToolTip(child, Widen(c.text).c_str());
        }
    }
}

void MainWindow::FixComboHeight(HWND combo) const
{
    // The closed height follows the font; nudge the selection field so that it is the
    // designed 21 pixels whatever metrics the system has.
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT rc{};
        GetWindowRect(combo, &rc);
        const int delta = kComboHeight - (rc.bottom - rc.top);
        if (delta == 0) {
            return;
        }
        const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        if (field == CB_ERR || field + delta <= 0) {
            return;
        }
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + delta);
    }
}

void MainWindow::AddToolTip(HWND control, const wchar_t* text)
{
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    if (tooltip_ == nullptr) {
        return; // the logo still works without its tool tip
    }
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void MainWindow::Show()
{
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void MainWindow::Hide()
{
    ShowWindow(hwnd_, SW_HIDE);
}

bool MainWindow::Visible() const
{
    return IsWindowVisible(hwnd_) != FALSE;
}

void MainWindow::SetTimerRunning(bool running)
{
    if (running == timerRunning_) {
        return;
    }
    if (running) {
        if (SetTimer(hwnd_, kTimerId, kTimerInterval, nullptr) == 0) {
            throw Exception("Not enough timers available");
        }
    } else {
        KillTimer(hwnd_, kTimerId);
    }
    timerRunning_ = running;
}

bool MainWindow::PreTranslate(MSG& msg)
{
    return IsWindowVisible(hwnd_) && IsDialogMessageW(hwnd_, &msg);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->events_.Uncaught(std::current_exception());
        return 0;
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TrayIcon::kTrayMessage) {
        events_.TrayNotify(static_cast<UINT>(LOWORD(lParam)));
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        break;
    case WM_CLOSE:
        switch (events_.CloseRequested()) {
        case TCloseAction::caNone:
            break;
        case TCloseAction::caMinimize:
            ShowWindow(hwnd_, SW_MINIMIZE);
            break;
        case TCloseAction::caHide:
        case TCloseAction::caFree: // the window lives as long as the program
            Hide();
            break;
        }
        return 0;
    case WM_SHOWWINDOW:
        if (wParam != FALSE) {
            events_.Shown();
        }
        break;
    case WM_TIMER:
        if (wParam == kTimerId) {
            events_.TimerTick();
            return 0;
        }
        break;
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Control(cid::Image1)) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // Give the focus back to the control that had it, or to the first in tab order.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(hwnd_, focus)) {
                lastFocus_ = focus;
            }
        } else if (HIWORD(wParam) == 0) {
            SetFocus(lastFocus_ != nullptr ? lastFocus_ : Control(cid::cmbPort));
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (lParam == 0) {
        if (code == 0 && FindMenuItem(id) != nullptr) {
            events_.ControlCommand(id);
        }
        return;
    }
    const ControlLayout* control = FindControl(id);
    if (control == nullptr) {
        return;
    }
    switch (control->kind) {
    case ControlKind::comboList:
        if (code == CBN_SELCHANGE) {
            events_.ControlCommand(id);
        }
        break;
    case ControlKind::checkBox:
    case ControlKind::button:
        if (code == BN_CLICKED) {
            events_.ControlCommand(id);
        }
        break;
    case ControlKind::picture:
        if (code == STN_CLICKED) {
            events_.ControlCommand(id);
        }
        break;
    default:
        break;
    }
}

void MainWindow::DrawItem(const DRAWITEMSTRUCT& item) const
{
    RECT rc = item.rcItem;
    FillRect(item.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
    switch (item.CtlID) {
    case cid::Bevel2:
        DrawEdge(item.hDC, &rc, EDGE_ETCHED, BF_TOP);
        break;
    case cid::Bevel1:
        DrawEdge(item.hDC, &rc, EDGE_ETCHED, BF_LEFT);
        break;
    case cid::Image1:
        DrawIconEx(item.hDC, rc.left, rc.top, logo_, rc.right - rc.left, rc.bottom - rc.top, 0, nullptr,
                   DI_NORMAL);
        break;
    default:
        break;
    }
}

} // namespace lantorvix::win32
