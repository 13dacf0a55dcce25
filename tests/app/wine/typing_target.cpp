// A window that takes the keyboard focus and records every character it receives.
// usage: typing_target.exe <record file>
// Each WM_CHAR is appended to the record file at once as UTF-8 (ENTER arrives as "\r", TAB
// as "\t"), so a test can wait for the text. The window has the class
// "LantorvixTypingTarget" and brings itself to the foreground when it starts and whenever
// it receives WM_APP (sent by gui_probe "activate").

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

FILE* record = nullptr;

void Append(wchar_t unit)
{
    char utf8[8];
    const int n = WideCharToMultiByte(CP_UTF8, 0, &unit, 1, utf8, sizeof utf8, nullptr, nullptr);
    if (n > 0) {
        std::fwrite(utf8, 1, static_cast<std::size_t>(n), record);
        std::fflush(record);
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CHAR:
        Append(static_cast<wchar_t>(wParam));
        return 0;
    case WM_APP:
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: typing_target.exe <record file>\n");
        return 2;
    }
    record = std::fopen(argv[1], "wb");
    if (record == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"LantorvixTypingTarget";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Typing target", WS_OVERLAPPEDWINDOW, 40, 40, 300, 120,
                                nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        return 2;
    }
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fclose(record);
    return 0;
}
