#include "DialogDriver.h"

#include <vector>

bool WaitFor(const std::function<bool()>& done, DWORD deadlineMs) {
    const ULONGLONG end = GetTickCount64() + deadlineMs;
    while (!done()) {
        if (GetTickCount64() > end) return false;
        Sleep(10);
    }
    return true;
}

HWND WaitForVisibleWindow(const wchar_t* className) {
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowW(className, nullptr);
        return found && IsWindowVisible(found);
    });
    return found && IsWindowVisible(found) ? found : nullptr;
}

bool WaitForNoVisibleWindow(const wchar_t* className) {
    return WaitFor([&] {
        HWND w = FindWindowW(className, nullptr);
        return !w || !IsWindowVisible(w);
    });
}

std::wstring WindowText(HWND wnd) {
    wchar_t buf[512] = {};
    GetWindowTextW(wnd, buf, 512);
    return buf;
}

namespace {

struct Search {
    std::wstring caption;
    std::wstring className;
    int id = -1;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND wnd, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    if (s->id >= 0) {
        if (GetDlgCtrlID(wnd) != s->id) return TRUE;
    } else {
        wchar_t cls[64] = {};
        GetClassNameW(wnd, cls, 64);
        if (lstrcmpiW(cls, s->className.c_str()) != 0 || WindowText(wnd) != s->caption) return TRUE;
    }
    s->found = wnd;
    return FALSE;
}

} // namespace

HWND FindControl(HWND parent, const std::wstring& caption, const wchar_t* className) {
    Search s{caption, className};
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindControlById(HWND parent, int id) {
    Search s;
    s.id = id;
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void PostClick(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void PostCloseBox(HWND wnd) {
    PostMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}
