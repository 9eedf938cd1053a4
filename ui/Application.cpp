#include "ui/Application.h"
#include "common/Errors.h"

#include <objbase.h>

TApplication Application;

void TApplication::Initialize() {
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.lpszClassName = L"TApplication";
    RegisterClassExW(&wc);
    // Visible but without size, in the middle of the screen: the taskbar button is all of it.
    Handle = CreateWindowExW(0, wc.lpszClassName, Title.c_str(),
                             WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                             GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2,
                             0, 0, nullptr, nullptr, inst, nullptr);
}

void TApplication::Finalize() {
    if (Handle) DestroyWindow(Handle);
    Handle = nullptr;
    if (comInitialized_) CoUninitialize();
    comInitialized_ = false;
}

void TApplication::Minimize() {
    if (Handle) ShowWindow(Handle, SW_MINIMIZE);
}

// The taskbar entry acts for the main window: activating it activates the main window (or the
// box that is up over it), and its "Close window" is a close request of the main window.
LRESULT CALLBACK TApplication::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND main = Application.MainForm;
    switch (msg) {
    case WM_SETFOCUS:
    case WM_SYSCOMMAND:
        if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
            if (main) PostMessageW(main, WM_CLOSE, 0, 0);
            return 0;
        }
        if (msg == WM_SYSCOMMAND) {
            LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
            if ((wParam & 0xFFF0) == SC_RESTORE && main) SetActiveWindow(GetLastActivePopup(main));
            return r;
        }
        if (main && IsWindowVisible(main)) SetActiveWindow(GetLastActivePopup(main));
        return 0;
    case WM_CLOSE:
        if (main) PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace {

// Read-only texts (the page texts, the side panel) want every key for themselves: left alone,
// Esc in them would close their parent window and Tab would stay in them.
bool IsReadOnlyText(HWND wnd) {
    wchar_t cls[32] = L"";
    GetClassNameW(wnd, cls, 32);
    if (lstrcmpiW(cls, L"Edit") == 0) return (GetWindowLongW(wnd, GWL_STYLE) & ES_READONLY) != 0;
    return _wcsnicmp(cls, L"RichEdit", 8) == 0;
}

} // namespace

// Keys the main window's read-only texts would swallow, since a multi-line text claims every
// key: Enter there is the current page's forward button and Esc its "Отмена" (which asks
// first), as anywhere else on the page; Tab moves on.
bool TApplication::HandleDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !IsReadOnlyText(msg.hwnd)) return false;
    if (msg.wParam == VK_RETURN) {
        PostMessageW(MainForm, WM_COMMAND, IDOK, 0);
        return true;
    }
    if (msg.wParam == VK_ESCAPE) {
        PostMessageW(MainForm, WM_COMMAND, IDCANCEL, 0);
        return true;
    }
    if (msg.wParam == VK_TAB) {
        bool back = GetKeyState(VK_SHIFT) < 0;
        if (HWND next = GetNextDlgTabItem(MainForm, msg.hwnd, back)) SetFocus(next);
        return true;
    }
    return false;
}

bool TApplication::DispatchOne(MSG& msg) {
    if (msg.message == WM_QUIT) return false;
    HWND dialogTarget = GetAncestor(msg.hwnd, GA_ROOT);
    if (dialogTarget && dialogTarget == MainForm &&
        (HandleDialogKey(msg) || IsDialogMessageW(MainForm, &msg)))
        return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchOne(msg);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!DispatchOne(msg)) {
            // Keep the quit request for the main loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
    }
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const EInstallError& e) {
        ShowException(e.Message);
    } catch (const std::bad_alloc&) {
        ShowException(L"Недостаточно памяти");
    } catch (const std::exception& e) {
        std::string what = e.what();
        ShowException(std::wstring(what.begin(), what.end()));
    } catch (...) {
        ShowException(L"Внутренняя ошибка программы установки");
    }
}

void TApplication::ShowException(const std::wstring& message) {
    HWND owner = MainForm && IsWindow(MainForm) ? MainForm : nullptr;
    MessageBoxW(owner, message.c_str(), Title.c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::SetBusyCursor(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}
