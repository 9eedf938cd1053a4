#include "ui/Window.h"

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
        auto* self =
            static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
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

UniqueFont CreatePixelFont(const wchar_t* face, int pixelHeight) {
    LOGFONTW lf{};
    lf.lfHeight = -pixelHeight;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&lf));
}

void TPanel::Create(HWND parent, int x, int y, int width, int height, bool framed) {
    framed_ = framed;
    brush_.reset(CreateSolidBrush(color_));
    CreateHandle(L"TPanel", L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
                 x, y, width, height, parent, nullptr);
}

void TPanel::SetColor(COLORREF color) {
    color_ = color;
    brush_.reset(CreateSolidBrush(color_));
    if (Handle) InvalidateRect(Handle, nullptr, TRUE);
}

void TPanel::SetVisible(bool visible) {
    ShowWindow(Handle, visible ? SW_SHOW : SW_HIDE);
}

void TPanel::Fill(HDC dc) {
    RECT r;
    GetClientRect(Handle, &r);
    FillRect(dc, &r, brush_.get());
    if (framed_) DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RECT);
}

LRESULT TPanel::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        Fill(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PRINTCLIENT: // themed controls draw their parent's background through this
        Fill(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CLOSE: // a page is never closed on its own (an edit control asks so on Esc)
        return 0;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        return SendMessageW(GetParent(Handle), msg, wParam, lParam);
    }
    return Default(msg, wParam, lParam);
}

TPanel& TPageControl::AddPage() {
    RECT r;
    GetClientRect(Handle, &r);
    auto page = std::make_unique<TPanel>();
    page->SetColor(Color());
    page->Create(Handle, 0, 0, r.right, r.bottom, false);
    pages_.push_back(std::move(page));
    return *pages_.back();
}

void TPageControl::SetActivePage(TPanel& page) {
    if (active_ == &page) return;
    page.SetVisible(true);
    for (auto& p : pages_)
        if (p.get() != &page) p->SetVisible(false);
    active_ = &page;
    UpdateWindow(page.Handle);
    if (OnShow) OnShow(page);
}

void TPageControl::SetPagesColor(COLORREF color) {
    SetColor(color);
    for (auto& p : pages_)
        p->SetColor(color);
}
