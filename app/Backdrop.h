#pragma once
// The main window's drawn backdrop: the seven images carried as PNG resources, their
// composition for the window's size, painting it, and the side panel beside the pages.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TPngImage;

// A 32-bit image laid out as a top-down GDI DIB: one 0xAARRGGBB value per pixel, row by row.
struct TBitmap32 {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    void SetSize(int width, int height, std::uint32_t fill);
    bool Empty() const { return Width <= 0 || Height <= 0; }
    std::uint32_t Pixel(int x, int y) const { return Pixels[std::size_t(y) * Width + x]; }
    std::uint32_t* Row(int y) { return Pixels.data() + std::size_t(y) * Width; }
    const std::uint32_t* Row(int y) const { return Pixels.data() + std::size_t(y) * Width; }
};

constexpr std::uint32_t Argb(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}
constexpr COLORREF ToColorRef(std::uint32_t pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// Copies every pixel of `src` with its top-left corner at (x, y) of `dst`, clipped to `dst`.
void CopyOpaque(TBitmap32& dst, const TBitmap32& src, int x, int y);

// "Over" compositing of the PNG onto opaque white; every resulting pixel is opaque.
void FlattenOverWhite(const TPngImage& png, TBitmap32& image);

// Decodes the RT_RCDATA resource `name` of `module` (null: the program itself) into `image`,
// flattened over white. Throws EInstallError naming the resource; `image` is then unchanged.
void LoadPngResource(TBitmap32& image, const wchar_t* name, HMODULE module = nullptr);

// The seven images of the main window, the page colour taken from the banner, and the
// composed backdrop that is painted one to one.
class TBackdrop {
public:
    TBitmap32 BG_bmp;
    TBitmap32 Panels_bmp;
    TBitmap32 Logo_bmp;
    TBitmap32 Title_pnl_l_bmp;
    TBitmap32 Title_pnl_r_bmp;
    TBitmap32 Title_pnl_m_bmp;
    TBitmap32 Title_bmp;

    // Loads all seven; never throws. An image that cannot be decoded leaves the window usable
    // with the page colour as a plain background, and the reason in LoadError().
    void LoadImages(HMODULE module = nullptr);
    bool ImagesLoaded() const { return LoadError().empty(); }
    const std::wstring& LoadError() const { return loadError_; }

    // The banner's top-left pixel, or white without a banner.
    COLORREF PageColor() const;
    // Whether all seven images are there to compose from (a tile must not be empty either).
    bool CanCompose() const;

    // Composes the backdrop anew for a paint area of width x height.
    void Compose(int width, int height);
    const TBitmap32& Image() const { return composed_; }
    // Shows the composed image one to one at the client origin; whatever it does not cover
    // (nothing composed yet) gets the page colour. Nothing is erased first, so nothing flickers.
    void Paint(HDC dc, const RECT& client) const;

private:
    std::wstring loadError_;
    TBitmap32 composed_;
};

// The composition itself, kept apart from any window so that it can be checked pixel by pixel.
void ComposeBackdrop(const TBackdrop& images, int width, int height, TBitmap32& target);

// The side panel RichEdit1: a read-only RichEdit without a border, 4-pixel margins and
// MS Sans Serif 13 px as its default font. Returns null when no RichEdit is available.
HWND CreateRichEdit1(HWND parent, int id);
// Moves the panel and keeps its margins (the control resets them when its size changes).
void PlaceRichEdit1(HWND richEdit, int left, int top, int width, int height);
// Replaces the panel's content by the RTF document INFO; false when it could not be loaded.
bool LoadRichEdit1Info(HWND richEdit, HMODULE module = nullptr);
void SetRichEdit1Color(HWND richEdit, COLORREF color);
