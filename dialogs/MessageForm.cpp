#include "dialogs/MessageForm.h"
#include "dialogs/ScreenMonitorManager.h"
#include "common/Errors.h"
#include "ui/Application.h"

#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

enum ControlId : int {
    idLblMessage = 100,
    idBtnCancel,
    idBtnOK,
    idBtnStop,
    idLblClose,
    idLblSec,
};

enum TimerId : UINT_PTR { StayUpTimer = 1, StopTimer = 2 };

constexpr int ButtonsHeight = 24;
constexpr int CloseStripHeight = 16;
// Outer window height beyond the label and the two strips (frame, caption and air).
constexpr int HeightAllowance = 60;

using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniquePen = UniqueGdiObject<HPEN>;
struct IconDeleter {
    void operator()(HICON h) const { DestroyIcon(h); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// Selects an object into a device context for one scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~Selected() { SelectObject(dc_, old_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

class WindowDC {
public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(GetDC(wnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

UniqueFont MakeTahoma(int height, BYTE charset = DEFAULT_CHARSET) {
    return UniqueFont(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

int ScreenPixelsPerInch() {
    if (MyScreen) return MyScreen->PixelsPerInch;
    WindowDC screen(nullptr);
    return screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
}

// The figures are taken once at start-up; a monitor unplugged since then leaves the window on
// the primary one rather than failing the message.
int SelectedMonitorLeft() {
    try {
        return MyScreen->GetMonitor(MyScreen->Monitornumber).Left;
    } catch (const EInstallError&) {
        return 0;
    }
}

// A 16 x 16 button glyph: a green tick for OK, a red cross for Cancel, drawn on a transparent
// background so it needs no image files.
UniqueIcon MakeGlyph(bool tick) {
    constexpr int size = 16;
    WindowDC screen(nullptr);
    HDC colorDc = CreateCompatibleDC(screen.get());
    HDC maskDc = CreateCompatibleDC(screen.get());
    UniqueBitmap color(CreateCompatibleBitmap(screen.get(), size, size));
    UniqueBitmap mask(CreateBitmap(size, size, 1, 1, nullptr));
    {
        Selected c(colorDc, color.get());
        Selected m(maskDc, mask.get());
        RECT all{0, 0, size, size};
        FillRect(colorDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(maskDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        UniquePen colorPen(CreatePen(PS_SOLID, 3, tick ? RGB(0, 150, 0) : RGB(200, 0, 0)));
        UniquePen maskPen(CreatePen(PS_SOLID, 3, RGB(0, 0, 0)));
        const POINT tickLine[] = {{3, 8}, {6, 12}, {13, 3}};
        const POINT crossA[] = {{3, 3}, {13, 13}};
        const POINT crossB[] = {{13, 3}, {3, 13}};
        for (auto [dc, pen] :
             {std::pair{colorDc, colorPen.get()}, std::pair{maskDc, maskPen.get()}}) {
            Selected p(dc, pen);
            if (tick) {
                Polyline(dc, tickLine, 3);
            } else {
                Polyline(dc, crossA, 2);
                Polyline(dc, crossB, 2);
            }
        }
    }
    DeleteDC(colorDc);
    DeleteDC(maskDc);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color.get();
    info.hbmMask = mask.get();
    return UniqueIcon(CreateIconIndirect(&info));
}

// The local date-time in days, as the countdown measures it.
double NowDays() {
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    ULARGE_INTEGER t;
    t.LowPart = local.dwLowDateTime;
    t.HighPart = local.dwHighDateTime;
    constexpr double ticksPerDay = 864000000000.0;
    constexpr double daysFrom1601To1899 = 109205.0;
    return static_cast<double>(t.QuadPart) / ticksPerDay - daysFrom1601To1899;
}

// While a modal window is up, the thread's other windows take no input, as under a dialog box.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND modal) : modal_(modal) {
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(this));
        for (HWND w : disabled_)
            EnableWindow(w, FALSE);
    }
    ~OtherWindowsDisabled() {
        for (HWND w : disabled_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    HWND modal_;
    std::vector<HWND> disabled_;

    static BOOL CALLBACK Collect(HWND wnd, LPARAM data) {
        auto* self = reinterpret_cast<OtherWindowsDisabled*>(data);
        try {
            if (wnd != self->modal_ && IsWindowVisible(wnd) && IsWindowEnabled(wnd))
                self->disabled_.push_back(wnd);
            return TRUE;
        } catch (...) {
            return FALSE;
        }
    }
};

} // namespace

struct TFMessageform::Resources {
    UniqueFont windowFont = MakeTahoma(-10);
    UniqueFont messageFont;
    UniqueIcon okGlyph = MakeGlyph(true);
    UniqueIcon cancelGlyph = MakeGlyph(false);
};

TFMessageform::TFMessageform() : res_(std::make_unique<Resources>()) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, DesignClientWidth, DesignClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    // No owner object, but the application window as the owner window, like every other window
    // of the program: an unowned window would get a taskbar button and an Alt+Tab entry of its
    // own, nameless for a message without a caption.
    CreateHandle(ClassName, L"", style, exStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                 frame.right - frame.left, frame.bottom - frame.top, Application.Handle,
                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (!Handle) throw EInstallError(L"Не удалось создать окно сообщения");
    CreateControls();
}

TFMessageform::~TFMessageform() {
    // Timers belong to the window and die with it; the window goes before the fonts it uses.
    if (Handle) {
        SetWindowLongPtrW(Handle, GWLP_USERDATA, 0);
        DestroyWindow(Handle);
        Handle = nullptr;
    }
}

void TFMessageform::CreateControls() {
    const int w = DesignClientWidth;
    const int closeTop = DesignClientHeight - CloseStripHeight;
    const int buttonsTop = closeTop - ButtonsHeight;
    lblMessage = CreateControl(Handle, L"Static", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, w,
                               buttonsTop, idLblMessage);
    pnlButtons.Create(Handle, 0, buttonsTop, w, ButtonsHeight, false);
    pnlButtons.SetVisible(true);
    btnCancel = CreateControl(pnlButtons.Handle, L"Button", L"Отмена", WS_VISIBLE | WS_TABSTOP, 0,
                              0, 73, ButtonsHeight, idBtnCancel);
    btnOK = CreateControl(pnlButtons.Handle, L"Button", L"OK", WS_VISIBLE | WS_TABSTOP, w - 70, 0,
                          70, ButtonsHeight, idBtnOK);
    pnlClose.Create(Handle, 0, closeTop, w, CloseStripHeight, false);
    pnlClose.SetVisible(true);
    btnStop = CreateControl(pnlClose.Handle, L"Button", L"остановить", WS_VISIBLE | WS_TABSTOP, 0,
                            0, 80, CloseStripHeight, idBtnStop);
    lblClose = CreateControl(pnlClose.Handle, L"Static", L"Окно закроется через",
                             WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 80, 0, 107, CloseStripHeight,
                             idLblClose);
    lblSec = CreateControl(pnlClose.Handle, L"Static", L"  сек", WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                           187, 0, 22, CloseStripHeight, idLblSec);
    for (HWND c : {lblMessage, btnCancel, btnOK, btnStop, lblClose, lblSec})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(res_->windowFont.get()), FALSE);
    SendMessageW(btnOK, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(res_->okGlyph.get()));
    SendMessageW(btnCancel, BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(res_->cancelGlyph.get()));
}

bool TFMessageform::Showmes(const std::wstring& Text, TMessageType tip,
                            const std::wstring& CaptionText, bool smodal) {
    FShowResult = false;
    FMessageTtype = tip;
    FMessageText = Text;
    FCaptionText = CaptionText;
    Fsmodal = smodal;
    ShowWindow(btnCancel, tip == mtDialog ? SW_SHOW : SW_HIDE);
    ShowWindow(btnOK, SW_SHOW);
    if (!smodal) {
        for (HWND b : {btnOK, btnStop, btnCancel})
            ShowWindow(b, SW_HIDE);
    }
    if (smodal) {
        ShowModal();
    } else {
        closed_ = false;
        FormShow();
        ShowWindow(Handle, SW_SHOWNOACTIVATE);
    }
    bool result = FShowResult;
    RedrawWindow(Handle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return result;
}

void TFMessageform::ShowModal() {
    {
        OtherWindowsDisabled others(Handle);
        closed_ = false;
        FormShow();
        ShowWindow(Handle, SW_SHOW);
        // Enter and Space answer at once, without a Tab first; Enter presses whichever button
        // has the focus, so no button needs to be the default one.
        SetFocus(btnOK);
        RunModalLoop();
    }
    // Hidden only after the other windows are enabled again, so that activation returns to them.
    ShowWindow(Handle, SW_HIDE);
}

void TFMessageform::RunModalLoop() {
    MSG msg;
    while (!closed_) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: leave the quit request for the main loop.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            Close();
            return;
        }
        if (IsDialogMessageW(Handle, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void TFMessageform::Close() {
    if (closed_) return;
    FormClose();
    closed_ = true;
    if (!Fsmodal) ShowWindow(Handle, SW_HIDE);
}

void TFMessageform::FormShow() {
    if (Fsmodal) {
        SetTimer(Handle, StayUpTimer, StayUpInterval, nullptr);
        SetTimer(Handle, StopTimer, StopTimerInterval, nullptr);
    } else {
        KillTimer(Handle, StayUpTimer);
        KillTimer(Handle, StopTimer);
        ShowWindow(lblClose, SW_HIDE);
        ShowWindow(lblSec, SW_HIDE);
    }
    pnlClose.SetVisible(true);
    SetMessageFont();
    SetWindowTextW(lblMessage, FMessageText.c_str());
    SetWindowTextW(Handle, FCaptionText.c_str());
    int height = MessageLabelHeight() + ButtonsHeight + CloseStripHeight + HeightAllowance;
    PlaceOnSelectedMonitor(height);
    BringToFront();
    tt = NowDays();
}

void TFMessageform::SetMessageFont() {
    // 10 points at the screen's resolution.
    res_->messageFont = MakeTahoma(-MulDiv(10, ScreenPixelsPerInch(), 72), RUSSIAN_CHARSET);
    SendMessageW(lblMessage, WM_SETFONT, reinterpret_cast<WPARAM>(res_->messageFont.get()), FALSE);
}

int TFMessageform::MessageLabelHeight() const {
    RECT client{};
    GetClientRect(Handle, &client);
    RECT text{0, 0, client.right, 0};
    WindowDC dc(lblMessage);
    Selected font(dc.get(), res_->messageFont.get());
    DrawTextW(dc.get(), FMessageText.c_str(), static_cast<int>(FMessageText.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return text.bottom - text.top;
}

// The bottom edge sits on the middle line of the selected monitor's height (its top coordinate
// is not added); horizontally the window is centred on that monitor.
void TFMessageform::PlaceOnSelectedMonitor(int windowHeight) {
    RECT r{};
    GetWindowRect(Handle, &r);
    const int windowWidth = r.right - r.left;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int monitorLeft = 0;
    if (MyScreen) {
        screenWidth = MyScreen->Width;
        screenHeight = MyScreen->Height;
        monitorLeft = SelectedMonitorLeft();
    }
    const int top = screenHeight / 2 - windowHeight;
    const int left = monitorLeft + (screenWidth - windowWidth) / 2;
    SetWindowPos(Handle, nullptr, left, top, windowWidth, windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut();
}

// The label keeps the top; the countdown strip is the lowest strip, the buttons just above it.
void TFMessageform::LayOut() {
    RECT client{};
    GetClientRect(Handle, &client);
    const int closeTop = client.bottom - CloseStripHeight;
    const int buttonsTop = closeTop - ButtonsHeight;
    const int labelHeight = MessageLabelHeight();
    MoveWindow(lblMessage, 0, 0, client.right, labelHeight, TRUE);
    MoveWindow(pnlButtons.Handle, 0, buttonsTop, client.right, ButtonsHeight, TRUE);
    MoveWindow(pnlClose.Handle, 0, closeTop, client.right, CloseStripHeight, TRUE);
}

// Enter presses the focused button; elsewhere (the focus on no button) it does nothing.
LRESULT TFMessageform::FocusedButtonId() const {
    HWND focus = GetFocus();
    if (!focus || !IsChild(Handle, focus) ||
        !(SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON)))
        return 0;
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
}

void TFMessageform::BringToFront() {
    SetWindowPos(Handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFMessageform::StayUpTimerTimer() {
    if (IsWindowVisible(Handle)) BringToFront();
    const double elapsedSeconds = (NowDays() - tt) * 24 * 60 * 60;
    // nearbyint rounds halves to even under the default rounding mode.
    const long remaining =
        std::lrint(std::nearbyint(static_cast<double>(StopTimerInterval / 1000) - elapsedSeconds));
    SetWindowTextW(lblSec, (L"  " + std::to_wstring(remaining) + L"с").c_str());
}

void TFMessageform::StopTimerTimer() {
    btnCancelClick();
}

void TFMessageform::btnOKClick() {
    FShowResult = true;
    Close();
}

void TFMessageform::btnCancelClick() {
    FShowResult = false;
    Close();
}

void TFMessageform::btnStopClick() {
    KillTimer(Handle, StopTimer);
    pnlClose.SetVisible(false);
}

void TFMessageform::FormClose() {
    KillTimer(Handle, StayUpTimer);
    KillTimer(Handle, StopTimer);
}

LRESULT TFMessageform::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IDCANCEL: // Esc, as the close box
                Close();
                return 0;
            case idBtnOK:
                btnOKClick();
                return 0;
            case idBtnCancel:
                btnCancelClick();
                return 0;
            case idBtnStop:
                btnStopClick();
                return 0;
            }
        }
        break;
    case WM_TIMER:
        if (wParam == StayUpTimer) StayUpTimerTimer();
        if (wParam == StopTimer) {
            // One shot: the countdown has run out.
            KillTimer(Handle, StopTimer);
            StopTimerTimer();
        }
        return 0;
    case DM_GETDEFID:
        return FocusedButtonId();
    case WM_CLOSE:
        // The close box answers as Cancel; the window itself lives until its owner destroys it.
        Close();
        return 0;
    }
    return Default(msg, wParam, lParam);
}

bool ShowMessageForm(const std::wstring& text, TMessageType type, const std::wstring& caption,
                     int32_t seconds) {
    TFMessageform form;
    if (seconds != 0) {
        if (seconds < 0 || seconds > std::numeric_limits<int32_t>::max() / 1000)
            throw EInstallError(L"Недопустимое время показа сообщения: " +
                                std::to_wstring(seconds) + L" с");
        form.StopTimerInterval = static_cast<UINT>(seconds) * 1000;
    }
    return form.Showmes(text, type, caption, true);
}
