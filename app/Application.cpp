#include "Application.h"
#include "../common/Errors.h"

#include <objbase.h>

TApplication Application;

void TApplication::Initialize() {
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void TApplication::Finalize() {
    if (comInitialized_) CoUninitialize();
    comInitialized_ = false;
}

bool TApplication::DispatchOne(MSG& msg) {
    if (msg.message == WM_QUIT) return false;
    HWND dialogTarget = GetAncestor(msg.hwnd, GA_ROOT);
    if (dialogTarget && dialogTarget == MainForm && IsDialogMessageW(MainForm, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
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
