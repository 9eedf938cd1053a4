#include "dialogs/WaitRun.h"
#include "common/Errors.h"

#include <commctrl.h>

TFWaitRun* FWaitRun = nullptr;

namespace {

constexpr int BorderWidth = 2;
constexpr int InnerWidth = 314;
constexpr int LabelHeight = 19;
constexpr int BarHeight = 20;

// The progress class lives in comctl32, which the program loads only after the DLL search path
// is restricted to the system folder; so it is loaded here, not imported.
void RegisterProgressClass() {
    static bool done = false;
    if (done) return;
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (!comctl) return;
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    done = init && init(&icc);
}

const wchar_t* CaptionFor(uint8_t typemessage) {
    switch (typemessage) {
    case 2:
        return L"Запись данных ЭКГ";
    case 3:
        return L"Преобразование данных ЭКГ в формат Velmora";
    case 4:
        return L"";
    default:
        return L"Launching ";
    }
}

} // namespace

struct TFWaitRun::Resources {
    UniqueFont font{CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"Tahoma")};
};

TFWaitRun::TFWaitRun() : res_(std::make_unique<Resources>()) {
    RegisterProgressClass();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOPMOST;
    RECT frame{0, 0, InnerWidth + 2 * BorderWidth, LabelHeight + BarHeight + 2 * BorderWidth};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    CreateHandle(ClassName, L"Запуск Velmora...", style, exStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (!Handle) throw EInstallError(L"Не удалось создать окно хода запуска");
    CreateControls();
    FormCreate();
}

TFWaitRun::~TFWaitRun() {
    // The window goes before the font its controls use.
    if (Handle) {
        SetWindowLongPtrW(Handle, GWLP_USERDATA, 0);
        DestroyWindow(Handle);
        Handle = nullptr;
    }
}

void TFWaitRun::CreateControls() {
    LblProgress = CreateControl(Handle, L"Static", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                BorderWidth, BorderWidth, InnerWidth, LabelHeight, 1);
    ProgressBar = CreateControl(Handle, PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, BorderWidth,
                                BorderWidth + LabelHeight, InnerWidth, BarHeight, 2);
    SendMessageW(LblProgress, WM_SETFONT, reinterpret_cast<WPARAM>(res_->font.get()), FALSE);
    SendMessageW(ProgressBar, PBM_SETRANGE32, 0, BarMax);
    SendMessageW(ProgressBar, PBM_SETSTEP, 1, 0);
}

void TFWaitRun::SetCaptionFromType() {
    SetWindowTextW(Handle, CaptionFor(typemessage));
}

void TFWaitRun::FormCreate() {
    SendMessageW(ProgressBar, PBM_SETPOS, 0, 0);
    SetCaptionFromType();
}

void TFWaitRun::FormShow() {
    SetCaptionFromType();
}

void TFWaitRun::Show() {
    FormShow();
    RECT r{};
    GetWindowRect(Handle, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    SetWindowPos(Handle, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

void TFWaitRun::Hide() {
    ShowWindow(Handle, SW_HIDE);
}

void TFWaitRun::Next(const std::wstring& msg) {
    try {
        SendMessageW(ProgressBar, PBM_STEPIT, 0, 0);
        SetWindowTextW(LblProgress, msg.c_str());
        Application.ProcessMessages();
    } catch (...) {
        // Progress display is a courtesy; the caller's operation must go on.
    }
}

LRESULT TFWaitRun::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // No close box: a close request (Alt+F4) is not the way this window ends.
    if (msg == WM_CLOSE) return 0;
    return Default(msg, wParam, lParam);
}
