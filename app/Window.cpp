#include "Window.h"

TWindow::~TWindow() {
    if (Handle) {
        SetWindowLongPtrW(Handle, GWLP_USERDATA, 0);
        DestroyWindow(Handle);
    }
}

void TWindow::CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                           DWORD exStyle, int x, int y, int width, int height, HWND parent,
                           HBRUSH background) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(inst, className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = background;
        wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
    }
    CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent,
                    nullptr, inst, this);
}

LRESULT TWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

LRESULT CALLBACK TWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->Handle = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    // While the busy pointer is on, every window of the program shows it.
    if (msg == WM_SETCURSOR && Application.BusyCursor()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    try {
        LRESULT r = self->HandleMessage(msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->Handle = nullptr;
        }
        return r;
    } catch (...) {
        Application.HandleException();
        return 0;
    }
}

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& caption, DWORD style,
                   int x, int y, int width, int height, int id, DWORD exStyle) {
    return CreateWindowExW(exStyle, className, caption.c_str(), WS_CHILD | style, x, y, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}
