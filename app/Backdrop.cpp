#include "app/Backdrop.h"
#include "app/Png.h"
#include "common/Errors.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <utility>

void TBitmap32::SetSize(int width, int height, std::uint32_t fill) {
    Width = std::max(width, 0);
    Height = std::max(height, 0);
    Pixels.assign(std::size_t(Width) * Height, fill);
}

void CopyOpaque(TBitmap32& dst, const TBitmap32& src, int x, int y) {
    int left = std::max(x, 0), right = std::min(x + src.Width, dst.Width);
    int top = std::max(y, 0), bottom = std::min(y + src.Height, dst.Height);
    if (left >= right || top >= bottom) return;
    std::size_t bytes = std::size_t(right - left) * sizeof(std::uint32_t);
    for (int row = top; row < bottom; ++row)
        std::memcpy(dst.Row(row) + left, src.Row(row - y) + (left - x), bytes);
}

namespace {

std::uint32_t OverWhite(unsigned channel, unsigned alpha) {
    return (channel * alpha + 255 * (255 - alpha) + 127) / 255;
}

// The resource's bytes stay mapped with the module, so no copy is needed.
std::pair<const void*, DWORD> FindRcData(HMODULE module, const wchar_t* name) {
    if (!module) module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {nullptr, 0};
    return {data, SizeofResource(module, info)};
}

} // namespace

void FlattenOverWhite(const TPngImage& png, TBitmap32& image) {
    image.SetSize(png.Width, png.Height, Argb(255, 255, 255));
    const std::uint8_t* src = png.Rgba.data();
    for (std::uint32_t& pixel : image.Pixels) {
        unsigned a = src[3];
        // Most pixels are opaque; the blend gives the channels themselves for them.
        if (a == 255)
            pixel = Argb(src[0], src[1], src[2]);
        else
            pixel = Argb(OverWhite(src[0], a), OverWhite(src[1], a), OverWhite(src[2], a));
        src += 4;
    }
}

void LoadPngResource(TBitmap32& image, const wchar_t* name, HMODULE module) {
    auto [data, size] = FindRcData(module, name);
    try {
        if (!data) throw EInstallError(L"ресурс не найден");
        TBitmap32 loaded;
        FlattenOverWhite(DecodePng(data, size), loaded);
        image = std::move(loaded);
    } catch (const EInstallError& e) {
        throw EInstallError(L"Не удалось загрузить изображение " + std::wstring(name) + L": " +
                            e.Message);
    }
}

void TBackdrop::LoadImages(HMODULE module) {
    const std::pair<TBitmap32*, const wchar_t*> order[] = {{&BG_bmp, L"BACKGROUND"},
                                                           {&Panels_bmp, L"MAIN"},
                                                           {&Logo_bmp, L"LOGO"},
                                                           {&Title_pnl_l_bmp, L"TITLE_PNL_L"},
                                                           {&Title_pnl_r_bmp, L"TITLE_PNL_R"},
                                                           {&Title_pnl_m_bmp, L"TITLE_PNL_M"},
                                                           {&Title_bmp, L"TITLE2"}};
    loadError_.clear();
    for (auto [image, name] : order) {
        try {
            LoadPngResource(*image, name, module);
        } catch (const EInstallError& e) {
            if (loadError_.empty()) loadError_ = e.Message;
        } catch (const std::exception&) { // out of memory: the window must still come up
            if (loadError_.empty())
                loadError_ = L"Не хватает памяти для изображения " + std::wstring(name);
        }
    }
}

COLORREF TBackdrop::PageColor() const {
    return Title_bmp.Empty() ? RGB(255, 255, 255) : ToColorRef(Title_bmp.Pixel(0, 0));
}

bool TBackdrop::CanCompose() const {
    for (const TBitmap32* image : {&BG_bmp, &Panels_bmp, &Logo_bmp, &Title_pnl_l_bmp,
                                   &Title_pnl_r_bmp, &Title_pnl_m_bmp, &Title_bmp})
        if (image->Empty()) return false;
    return true;
}

namespace {

// Rows and columns run while the position is <= the size, as the design has it; the ones
// starting exactly at the edge are clipped away entirely.
void TileTexture(TBitmap32& target, const TBitmap32& tile) {
    for (int y = 0; y <= target.Height; y += tile.Height)
        for (int x = 0; x <= target.Width; x += tile.Width)
            CopyOpaque(target, tile, x, y);
}

void DrawTitleBar(TBitmap32& target, const TBackdrop& images) {
    CopyOpaque(target, images.Title_pnl_l_bmp, 0, 0);
    int leftWidth = images.Title_pnl_l_bmp.Width;
    int rightX = target.Width - images.Title_pnl_r_bmp.Width;
    CopyOpaque(target, images.Title_pnl_r_bmp, rightX, 0);
    const TBitmap32& middle = images.Title_pnl_m_bmp;
    if (middle.Width != 1) {
        for (int x = leftWidth; x <= rightX - 1; ++x)
            CopyOpaque(target, middle, x, 0);
        return;
    }
    // A one-column piece copied at every column is each row's pixel repeated across the gap:
    // the same pixels without 910 separate copies.
    const int from = std::max(leftWidth, 0), to = std::min(rightX, target.Width);
    if (from >= to) return;
    for (int row = 0; row < std::min(middle.Height, target.Height); ++row)
        std::fill(target.Row(row) + from, target.Row(row) + to, middle.Row(row)[0]);
}

} // namespace

void ComposeBackdrop(const TBackdrop& images, int width, int height, TBitmap32& target) {
    std::uint32_t page = images.PageColor();
    target.SetSize(width, height, Argb(GetRValue(page), GetGValue(page), GetBValue(page)));
    if (!images.CanCompose()) return;
    TileTexture(target, images.BG_bmp);
    DrawTitleBar(target, images);
    CopyOpaque(target, images.Logo_bmp, images.Title_pnl_l_bmp.Width - 5, 15);
    CopyOpaque(target, images.Title_bmp, (target.Width - images.Title_bmp.Width) / 2, 20);
    CopyOpaque(target, images.Panels_bmp, -3, 95);
}

void TBackdrop::Compose(int width, int height) {
    ComposeBackdrop(*this, width, height, composed_);
}

void TBackdrop::Paint(HDC dc, const RECT& client) const {
    const int w = composed_.Width, h = composed_.Height;
    if (w > 0 && h > 0) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h; // top-down, as the pixels are stored
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, composed_.Pixels.data(), &bmi, DIB_RGB_COLORS,
                      SRCCOPY);
    }
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    COLORREF oldColor = SetDCBrushColor(dc, PageColor());
    if (client.right > w) PatBlt(dc, w, 0, client.right - w, client.bottom, PATCOPY);
    if (client.bottom > h)
        PatBlt(dc, 0, h, std::min<LONG>(w, client.right), client.bottom - h, PATCOPY);
    SetDCBrushColor(dc, oldColor);
    SelectObject(dc, oldBrush);
}

// --- The side panel ---------------------------------------------------------------------------

namespace {

const int PanelMargin = 4;
const int PanelFontPixels = 13;

// Loaded once, by full path from the system folder, and kept for the process's lifetime: the
// control's window class lives in the library and must outlive every panel.
const wchar_t* RichEditClass() {
    static const wchar_t* const className = []() -> const wchar_t* {
        wchar_t system[MAX_PATH];
        UINT n = GetSystemDirectoryW(system, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        std::wstring folder = std::wstring(system, n) + L"\\";
        if (LoadLibraryW((folder + L"Msftedit.dll").c_str())) return MSFTEDIT_CLASS;
        if (LoadLibraryW((folder + L"Riched20.dll").c_str())) return RICHEDIT_CLASSW;
        return nullptr;
    }();
    return className;
}

int ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The panel is laid out in pixels like the rest of the window, but the document's sizes are in
// points, which grow with the display's DPI: at 120 it would no longer fit its 441 pixels. The
// control's zoom shows everything at the size it has at 96 DPI. Returns the DPI the control now
// draws at.
int ZoomAs96Dpi(HWND richEdit) {
    int dpi = ScreenPixelsPerInch();
    if (dpi != 96 && SendMessageW(richEdit, EM_SETZOOM, 96, dpi)) return 96;
    return dpi;
}

void SetDefaultFont(HWND richEdit, int dpi) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
    // The size is fixed in pixels, whatever the display's DPI; the control counts in twips.
    format.yHeight = MulDiv(PanelFontPixels, 1440, dpi);
    format.bCharSet = RUSSIAN_CHARSET;
    wcscpy(format.szFaceName, L"MS Sans Serif");
    SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

struct TStreamSource {
    const BYTE* Data;
    DWORD Left;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* source = reinterpret_cast<TStreamSource*>(cookie);
    DWORD n = std::min<DWORD>(source->Left, DWORD(std::max<LONG>(wanted, 0)));
    std::memcpy(buffer, source->Data, n);
    source->Data += n;
    source->Left -= n;
    *given = LONG(n);
    return 0;
}

} // namespace

HWND CreateRichEdit1(HWND parent, int id) {
    const wchar_t* className = RichEditClass();
    if (!className) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    HWND richEdit =
        CreateWindowExW(0, className, L"", style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    if (richEdit) SetDefaultFont(richEdit, ZoomAs96Dpi(richEdit));
    return richEdit;
}

void PlaceRichEdit1(HWND richEdit, int left, int top, int width, int height) {
    if (!richEdit) return;
    MoveWindow(richEdit, left, top, width, height, TRUE);
    RECT text;
    GetClientRect(richEdit, &text);
    InflateRect(&text, -PanelMargin, -PanelMargin);
    SendMessageW(richEdit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&text));
}

bool LoadRichEdit1Info(HWND richEdit, HMODULE module) {
    auto [data, size] = FindRcData(module, L"INFO");
    if (!data || !richEdit) return false;
    TStreamSource source{static_cast<const BYTE*>(data), size};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadStream;
    LRESULT read = SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return stream.dwError == 0 && read > 0;
}

void SetRichEdit1Color(HWND richEdit, COLORREF color) {
    if (!richEdit) return;
    SendMessageW(richEdit, EM_SETBKGNDCOLOR, 0, color);
}
