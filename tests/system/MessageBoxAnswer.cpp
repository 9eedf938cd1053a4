#include "MessageBoxAnswer.h"

namespace {

constexpr DWORD GiveUpAfterMs = 20000;
constexpr int MessageBoxTextId = 0xFFFF;
constexpr int OldWineMessageBoxTextId = 100;

struct BoxSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != search->process || std::wstring(className) != L"#32770") return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindOwnMessageBox() {
    BoxSearch search{GetCurrentProcessId(), nullptr};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring BoxText(HWND box) {
    for (int id : {MessageBoxTextId, OldWineMessageBoxTextId}) {
        HWND label = GetDlgItem(box, id);
        if (!label) continue;
        wchar_t text[1024] = {};
        GetWindowTextW(label, text, 1024);
        return text;
    }
    return L"";
}

} // namespace

MessageBoxAnswer::MessageBoxAnswer(int button) : thread_([this, button] { Run(button); }) {}

MessageBoxAnswer::~MessageBoxAnswer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::wstring MessageBoxAnswer::Text() {
    if (thread_.joinable()) thread_.join();
    return text_;
}

void MessageBoxAnswer::Run(int button) {
    DWORD start = GetTickCount();
    while (!stop_ && GetTickCount() - start < GiveUpAfterMs) {
        HWND box = FindOwnMessageBox();
        // The text can still be empty when the box first appears.
        std::wstring text = box ? BoxText(box) : L"";
        if (!text.empty()) {
            text_ = text;
            PostMessageW(box, WM_COMMAND, button, 0);
            return;
        }
        Sleep(20);
    }
}
