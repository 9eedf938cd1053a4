// The demo's walk through the real Install.exe: starts it in a distribution folder, goes
// through every page as a person would, answers the options warning and the questions, and
// saves a picture of each step as a BMP file for tools/demo.sh to convert.
//   DemoWalk.exe DISTRIBUTION TARGET SHOTS-FOLDER
// Exit code 0 when the installation ran to its end; 1 when something went wrong (the message
// says what, and the pictures up to that point are saved).
#include "E2eDriver.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kDriverQuestion[] = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
const wchar_t kExitQuestion[] = L"Установка завершена. Выйти из программы установки?";
// Copying the database and the runtime takes a while on a slow disk.
const DWORD kRunTimeoutMs = 600000;
const DWORD kSettleStepMs = 150;
const DWORD kSettleLimitMs = 3000;

// A screen device context, released on every path.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// The part of the screen under `area` as a person sees it: a message box over the wizard
// comes out together with the page it belongs to, which a capture of one window cannot give.
Screenshot CaptureScreen(const RECT& area) {
    Screenshot shot;
    const int width = area.right - area.left, height = area.bottom - area.top;
    ScreenDc screen;
    if (width <= 0 || height <= 0 || !screen.get()) return shot;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen.get());
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY)) {
            GdiFlush();
            auto* p = static_cast<const uint32_t*>(bits);
            shot.width = width;
            shot.height = height;
            shot.pixels.assign(p, p + static_cast<size_t>(width) * height);
            for (uint32_t& px : shot.pixels)
                px &= 0xFFFFFF;
        }
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    return shot;
}

RECT Union(const std::vector<HWND>& windows) {
    RECT all{};
    for (HWND wnd : windows) {
        RECT r;
        if (IsWindow(wnd) && GetWindowRect(wnd, &r)) UnionRect(&all, &all, &r);
    }
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&all, &all, &screen);
    return all;
}

class Walker {
public:
    Walker(std::wstring distribution, std::wstring target, std::wstring shots)
        : distribution_(std::move(distribution)), target_(std::move(target)),
          shots_(std::move(shots)) {
        if (!shots_.empty() && shots_.back() != L'\\') shots_ += L'\\';
    }

    void Run() {
        Welcome();
        Path();
        Options();
        Progress();
        End();
    }

private:
    std::wstring distribution_, target_, shots_;
    std::unique_ptr<InstallerProcess> app_;
    HWND main_ = nullptr;
    HWND log_ = nullptr;
    int shotNumber_ = 0;

    static void Fail(const std::string& what) { throw std::runtime_error(what); }

    static void Say(const char* text) {
        printf("demo-walk: %s\n", text);
        fflush(stdout);
    }

    // The windows are painted by another process: the picture is taken once two looks in a
    // row agree, so that a page caught half-painted is not what the person gets to see. A page
    // that changes all the time (the progress list) is taken at the first look instead.
    void Shoot(const char* name, const std::vector<HWND>& windows, bool settle = true) {
        Screenshot shot, previous;
        DWORD waited = 0;
        for (;;) {
            Sleep(kSettleStepMs);
            waited += kSettleStepMs;
            shot = CaptureScreen(Union(windows));
            if (!settle || (shot.width > 0 && shot.pixels == previous.pixels) ||
                waited >= kSettleLimitMs)
                break;
            previous = shot;
        }
        char file[64];
        snprintf(file, sizeof file, "%02d-%s.bmp", ++shotNumber_, name);
        std::wstring path = shots_ + std::wstring(file, file + strlen(file));
        if (!SaveBmp(shot, path)) Fail(std::string("cannot save the picture ") + file);
        printf("demo-walk: picture %s\n", file);
        fflush(stdout);
    }

    void ClickOrFail(HWND button, const char* what) {
        if (!button) Fail(std::string("no button ") + what);
        if (!Click(button)) Fail(std::string("the button ") + what + " took no input");
    }

    // A box the walk did not expect (an error of the installation): shown, saved, answered.
    [[noreturn]] void UnexpectedBox(HWND box, const MessageBoxInfo& info) {
        Shoot("unexpected-box", {main_, box});
        std::string text = U8(info.text);
        AnswerMessageBox(box, info.hasOk ? IDOK : IDNO);
        throw std::runtime_error("the installer said: " + text);
    }

    void Welcome() {
        app_ = std::make_unique<InstallerProcess>(distribution_);
        if (!app_->Started()) Fail("Install.exe could not be started");
        main_ = app_->WaitForMainWindow();
        if (!main_) Fail("the wizard window did not appear");
        if (!WaitForControl(main_, L"Далее", L"Button")) Fail("no welcome page");
        Say("welcome page");
        Shoot("welcome", {main_});
    }

    void Path() {
        ClickOrFail(FindControl(main_, L"Далее", L"Button"), "Next on the welcome page");
        if (!WaitForControl(main_, L"Выбрать", L"Button")) Fail("no path page");
        HWND path = FindControlIf(main_, [](HWND h) {
            return lstrcmpiW(ClassNameOf(h).c_str(), L"Edit") == 0 &&
                   !(GetWindowLongW(h, GWL_STYLE) & ES_READONLY);
        });
        if (!path || !SetText(path, target_)) Fail("the target folder could not be typed in");
        Say("path page");
        Shoot("path", {main_});
    }

    void Options() {
        ClickOrFail(FindControl(main_, L"Далее", L"Button"), "Next on the path page");
        HWND warning = app_->WaitForTimedMessage();
        if (!warning) Fail("the options warning did not appear");
        Say("options warning");
        Shoot("options-warning", {main_, warning});
        if (!AnswerTimedMessage(warning)) Fail("the options warning could not be answered");
        HWND start = WaitForControl(main_, L"Начать установку", L"Button");
        if (!start) Fail("no options page");
        HWND driver = FindControl(main_, L"Устанавливать драйвер", L"Button");
        if (!driver || !IsChecked(driver)) Fail("the driver box is not there or not ticked");
        Say("options page");
        Shoot("options", {main_});
    }

    void Progress() {
        ClickOrFail(FindControl(main_, L"Начать установку", L"Button"), "Start");
        log_ = FindControlIf(
            main_, [](HWND h) { return lstrcmpiW(ClassNameOf(h).c_str(), L"ListBox") == 0; }, true);
        if (!log_) Fail("no progress list");
        // Only looks that need no answer from the installer: while it copies the database it
        // takes no messages, and asking it for its lines would wait for the end of the copy.
        if (!WaitFor([&] { return IsWindowVisible(log_) != FALSE; }))
            Fail("the progress page did not appear");
        Say("progress page");
        Shoot("progress", {main_}, false);
    }

    // The driver question, then either the closing question (large fonts) or the large-font
    // page (small fonts); both are shown and answered the way that ends the program.
    void End() {
        HWND change = nullptr;
        HWND box = nullptr;
        bool driverAsked = false;
        for (;;) {
            bool found = WaitFor(
                [&] {
                    box = app_->WaitForMessageBox(0);
                    change = FindControl(main_, L"Изменить настройки", L"Button");
                    return box || change || !app_->Running();
                },
                kRunTimeoutMs);
            if (!found) Fail("the installation did not end in time");
            if (!app_->Running()) Fail("the installer ended on its own");
            if (change) break;
            MessageBoxInfo info = ReadMessageBox(box);
            if (info.text == kDriverQuestion && !driverAsked) {
                driverAsked = true;
                Say("driver question, answered Yes");
                Shoot("driver-question", {main_, box});
                if (!AnswerMessageBox(box, IDYES)) Fail("the driver question stayed");
                continue;
            }
            if (info.text != kExitQuestion) UnexpectedBox(box, info);
            WriteProgress();
            Say("closing question, answered Yes");
            Shoot("closing-question", {main_, box});
            if (!AnswerMessageBox(box, IDYES)) Fail("the closing question stayed");
            if (!app_->WaitForExit()) Fail("Yes did not end the installer");
            return;
        }
        WriteProgress();
        Say("large-font page, left with Exit");
        Shoot("large-font-page", {main_});
        ClickOrFail(FindControl(main_, L"Выход", L"Button"), "Exit on the large-font page");
        if (!app_->WaitForExit()) Fail("Exit did not end the installer");
    }

    // The progress lines as text beside the pictures, for a person to read or search.
    void WriteProgress() {
        std::string text;
        for (const auto& line : ListBoxLines(log_))
            text += U8(line) + "\n";
        WriteBytes(shots_ + L"progress.txt", text);
        printf("demo-walk: progress list saved as progress.txt\n");
    }
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fwprintf(stderr, L"usage: DemoWalk DISTRIBUTION TARGET SHOTS-FOLDER\n");
        return 2;
    }
    try {
        MakeDirs(argv[3]);
        Walker(argv[1], argv[2], argv[3]).Run();
    } catch (const std::exception& e) {
        fprintf(stderr, "demo-walk: %s\n", e.what());
        return 1;
    }
    printf("demo-walk: done\n");
    return 0;
}
