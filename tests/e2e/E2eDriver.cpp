#include "E2eDriver.h"
#include "support/Distribution.h"
#include "support/TestSupport.h"

#ifndef VELMORA_INSTALL_EXE
#error "VELMORA_INSTALL_EXE must name the built Install.exe"
#endif

namespace e2e {

namespace {

const DWORD PollIntervalMs = 20;
// The id of a message box's text; old Wine versions used 100.
const int MessageBoxTextId = 0xFFFF;
const int OldMessageBoxTextId = 100;

bool SameClass(HWND wnd, const std::wstring& className) {
    return className.empty() || lstrcmpiW(ClassNameOf(wnd).c_str(), className.c_str()) == 0;
}

struct EnumState {
    const std::function<bool(HWND)>* visit;
};

BOOL CALLBACK EnumVisit(HWND wnd, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    return (*state->visit)(wnd) ? TRUE : FALSE;
}

// Calls `visit` for each top-level window until it returns false.
void ForEachTopWindow(const std::function<bool(HWND)>& visit) {
    EnumState state{&visit};
    EnumWindows(EnumVisit, reinterpret_cast<LPARAM>(&state));
}

// Calls `visit` for each descendant of `root` until it returns false.
void ForEachDescendant(HWND root, const std::function<bool(HWND)>& visit) {
    EnumState state{&visit};
    EnumChildWindows(root, EnumVisit, reinterpret_cast<LPARAM>(&state));
}

DWORD ProcessOf(HWND wnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    return pid;
}

bool TakesInput(HWND wnd) {
    HWND root = GetAncestor(wnd, GA_ROOT);
    return IsWindow(wnd) && IsWindowVisible(wnd) && IsWindowEnabled(wnd) &&
           (!root || IsWindowEnabled(root));
}

} // namespace

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(PollIntervalMs);
    }
}

std::wstring BuiltInstallerPath() {
    return WinePathFromUnix(VELMORA_INSTALL_EXE);
}

// ---- The installer's process ----------------------------------------------------------------

InstallerProcess::InstallerProcess(const std::wstring& distributionFolder,
                                   const std::wstring& workingFolder, const std::wstring& installer,
                                   const std::wstring& arguments, bool suspended) {
    std::wstring folder = distributionFolder;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::wstring exe = folder + L"Install.exe";
    const std::wstring built = installer.empty() ? BuiltInstallerPath() : installer;
    if (!CopyFileW(built.c_str(), exe.c_str(), FALSE)) return;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::wstring current = workingFolder.empty() ? folder : workingFolder;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        suspended ? CREATE_SUSPENDED : 0, nullptr, current.c_str(), &si, &pi))
        return;
    thread_ = pi.hThread;
    process_ = pi.hProcess;
    id_ = pi.dwProcessId;
    threadId_ = pi.dwThreadId;
}

bool InstallerProcess::Resume() {
    return thread_ && ResumeThread(thread_) != static_cast<DWORD>(-1);
}

InstallerProcess::~InstallerProcess() {
    if (thread_) CloseHandle(thread_);
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool InstallerProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool InstallerProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

std::vector<HWND> InstallerProcess::TopWindows() const {
    std::vector<HWND> found;
    ForEachTopWindow([&](HWND wnd) {
        if (ProcessOf(wnd) == id_ && IsWindowVisible(wnd)) found.push_back(wnd);
        return true;
    });
    return found;
}

HWND InstallerProcess::WaitForWindow(const wchar_t* className, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND wnd : TopWindows())
                if (SameClass(wnd, className)) found = wnd;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND InstallerProcess::WaitForMainWindow(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND wnd : TopWindows())
                if (GetText(wnd) == L"Установка комплекса") found = wnd;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND InstallerProcess::WaitForMessageBox(DWORD timeoutMs) const {
    return WaitForWindow(L"#32770", timeoutMs);
}

HWND InstallerProcess::WaitForTimedMessage(DWORD timeoutMs) const {
    return WaitForWindow(L"TFMessageform", timeoutMs);
}

// ---- Controls -------------------------------------------------------------------------------

std::wstring ClassNameOf(HWND wnd) {
    wchar_t name[256] = L"";
    GetClassNameW(wnd, name, 256);
    return name;
}

HWND FindControlIf(HWND root, const std::function<bool(HWND)>& match, bool includeHidden) {
    HWND found = nullptr;
    ForEachDescendant(root, [&](HWND wnd) {
        if ((includeHidden || IsWindowVisible(wnd)) && match(wnd)) found = wnd;
        return found == nullptr;
    });
    return found;
}

HWND FindControl(HWND root, const std::wstring& caption, const std::wstring& className) {
    return FindControlIf(
        root, [&](HWND wnd) { return SameClass(wnd, className) && GetText(wnd) == caption; });
}

HWND FindPathField(HWND root) {
    return FindControlIf(root, [](HWND h) {
        return lstrcmpiW(ClassNameOf(h).c_str(), L"Edit") == 0 &&
               !(GetWindowLongW(h, GWL_STYLE) & ES_READONLY);
    });
}

HWND WaitForControl(HWND root, const std::wstring& caption, const std::wstring& className,
                    DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindControl(root, caption, className)) != nullptr; }, timeoutMs);
    return found;
}

std::vector<std::wstring> ControlTexts(HWND root) {
    std::vector<std::wstring> texts;
    ForEachDescendant(root, [&](HWND wnd) {
        if (IsWindowVisible(wnd)) texts.push_back(GetText(wnd));
        return true;
    });
    return texts;
}

std::wstring GetText(HWND wnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return L"";
    text.resize(wcslen(text.c_str()));
    return text;
}

bool SetText(HWND edit, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
    return WaitFor([&] { return GetText(edit) == text; }, 2000);
}

bool Click(HWND button, DWORD timeoutMs) {
    if (!WaitFor([&] { return TakesInput(button); }, timeoutMs)) return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

void PressKey(HWND control, UINT virtualKey) {
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(control, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(control, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (3u << 30));
}

bool FocusControl(HWND control, DWORD timeoutMs) {
    const DWORD target = GetWindowThreadProcessId(control, nullptr);
    const DWORD self = GetCurrentThreadId();
    if (!target || !AttachThreadInput(self, target, TRUE)) return false;
    SetFocus(control);
    AttachThreadInput(self, target, FALSE);
    return WaitFor([&] { return FocusedControl(control) == control; }, timeoutMs);
}

// Only the key messages: the character comes from the program's own TranslateMessage, as with
// a real keyboard. A character posted by hand would also arrive where the program translates
// nothing (after Enter on a button that hides its page), and Wine's dialog manager then loops
// for ever looking for a mnemonic from a hidden control.
HWND TypeKey(HWND window, UINT virtualKey) {
    HWND focus = FocusedControl(window);
    if (!focus) return nullptr;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(focus, WM_KEYDOWN, virtualKey, 1 | scan);
    PostMessageW(focus, WM_KEYUP, virtualKey, 1 | scan | (3u << 30));
    return focus;
}

void PressCloseBox(HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool IsChecked(HWND checkBox) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// ---- Message boxes --------------------------------------------------------------------------

MessageBoxInfo ReadMessageBox(HWND box, DWORD timeoutMs) {
    MessageBoxInfo info;
    info.caption = GetText(box);
    WaitFor(
        [&] {
            HWND text = GetDlgItem(box, MessageBoxTextId);
            if (!text) text = GetDlgItem(box, OldMessageBoxTextId);
            info.text = text ? GetText(text) : L"";
            return !info.text.empty();
        },
        timeoutMs);
    info.hasOk = GetDlgItem(box, IDOK) != nullptr;
    info.hasYes = GetDlgItem(box, IDYES) != nullptr;
    info.hasNo = GetDlgItem(box, IDNO) != nullptr;
    return info;
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
    HWND button = GetDlgItem(box, buttonId);
    if (!button || !Click(button, timeoutMs)) return false;
    return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeoutMs);
}

std::wstring TimedMessageText(HWND window) {
    std::wstring text;
    ForEachDescendant(window, [&](HWND wnd) {
        if (IsWindowVisible(wnd) && lstrcmpiW(ClassNameOf(wnd).c_str(), L"Static") == 0) {
            std::wstring t = GetText(wnd);
            if (!t.empty()) text += (text.empty() ? L"" : L"\n") + t;
        }
        return true;
    });
    return text;
}

bool AnswerTimedMessage(HWND window, const std::wstring& buttonCaption, DWORD timeoutMs) {
    HWND button = WaitForControl(window, buttonCaption, L"Button", timeoutMs);
    if (!button || !Click(button, timeoutMs)) return false;
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

// ---- List box -------------------------------------------------------------------------------

std::vector<std::wstring> ListBoxLines(HWND listBox) {
    std::vector<std::wstring> lines;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count))
        return lines;
    for (DWORD_PTR i = 0; i < count && count != static_cast<DWORD_PTR>(LB_ERR); ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(listBox, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length);
        // The line can grow between the two messages (a copy's figure, its outcome), and
        // LB_GETTEXT is told no buffer size: leave room.
        std::wstring line(length + 1 + ListBoxLineSlack, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()),
                            SMTO_ABORTIFHUNG, 5000, &copied);
        line.resize(wcslen(line.c_str()));
        lines.push_back(line);
    }
    return lines;
}

// ---- Screenshots ----------------------------------------------------------------------------

Screenshot CaptureClient(HWND window) {
    Screenshot shot;
    RECT r;
    if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return shot;
    HDC windowDc = GetDC(window);
    if (!windowDc) return shot;
    HDC memDc = CreateCompatibleDC(windowDc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memDc && bitmap) {
        HGDIOBJ old = SelectObject(memDc, bitmap);
        if (BitBlt(memDc, 0, 0, r.right, r.bottom, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            shot.width = r.right;
            shot.height = r.bottom;
            auto* p = static_cast<const uint32_t*>(bits);
            shot.pixels.assign(p, p + static_cast<size_t>(r.right) * r.bottom);
            for (uint32_t& px : shot.pixels)
                px &= 0xFFFFFF;
        }
        SelectObject(memDc, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memDc) DeleteDC(memDc);
    ReleaseDC(window, windowDc);
    return shot;
}

bool SaveBmp(const Screenshot& shot, const std::wstring& path) {
    if (shot.width <= 0 || shot.height <= 0) return false;
    const uint32_t rowBytes = (static_cast<uint32_t>(shot.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(shot.height);
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42; // "BM"
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + imageBytes;
    ih.biSize = sizeof ih;
    ih.biWidth = shot.width;
    ih.biHeight = shot.height; // bottom-up
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = imageBytes;
    std::string data(imageBytes, '\0');
    for (int y = 0; y < shot.height; ++y) {
        char* row = data.data() + static_cast<size_t>(shot.height - 1 - y) * rowBytes;
        for (int x = 0; x < shot.width; ++x) {
            uint32_t px = shot.At(x, y);
            row[x * 3 + 0] = static_cast<char>(px & 0xFF);
            row[x * 3 + 1] = static_cast<char>((px >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((px >> 16) & 0xFF);
        }
    }
    std::string file(reinterpret_cast<const char*>(&fh), sizeof fh);
    file.append(reinterpret_cast<const char*>(&ih), sizeof ih);
    file += data;
    try {
        WriteBytes(path, file);
    } catch (...) {
        return false;
    }
    return true;
}

} // namespace e2e
