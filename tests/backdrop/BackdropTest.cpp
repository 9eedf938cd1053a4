// The backdrop: loading the images carried as resources, flattening over white, the
// composition for the window's size pixel by pixel, painting it, the failed-image path and
// the side panel.
#include "app/Backdrop.h"
#include "app/Png.h"
#include "common/Errors.h"
#include "common/WinUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <richedit.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(v));
    return text;
}

// --- Flattening and the real resources ---------------------------------------------------------

TPngImage OnePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    TPngImage png;
    png.Width = png.Height = 1;
    png.HasAlpha = true;
    png.Rgba = {r, g, b, a};
    return png;
}

struct TFlattenCase {
    std::uint8_t R, G, B, A;
    std::uint32_t Expected;
};

TEST(FlattenOverWhite, StandardOverOntoWhiteAndOpaque) {
    const TFlattenCase table[] = {
        {10, 20, 30, 255, Argb(10, 20, 30)},  {10, 20, 30, 0, Argb(255, 255, 255)},
        {0, 0, 0, 128, Argb(127, 127, 127)},  {100, 150, 200, 64, Argb(216, 229, 241)},
        {10, 20, 30, 1, Argb(254, 254, 254)}, {250, 5, 90, 254, Argb(250, 6, 91)},
    };
    for (const auto& c : table) {
        TBitmap32 image;
        FlattenOverWhite(OnePixel(c.R, c.G, c.B, c.A), image);
        ASSERT_EQ(image.Width, 1);
        EXPECT_EQ(Hex(image.Pixel(0, 0)), Hex(c.Expected))
            << int(c.R) << "," << int(c.G) << "," << int(c.B) << " alpha " << int(c.A);
    }
}

struct TResourceCase {
    const wchar_t* Name;
    int Width, Height;
    bool HasAlpha;
};

const TResourceCase Resources[] = {
    {L"BACKGROUND", 128, 128, false}, {L"MAIN", 958, 472, true},
    {L"LOGO", 72, 70, true},          {L"TITLE_PNL_L", 22, 100, true},
    {L"TITLE_PNL_M", 1, 100, true},   {L"TITLE_PNL_R", 22, 100, true},
    {L"TITLE2", 500, 66, false},
};

std::pair<const void*, DWORD> RcData(const wchar_t* name) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(self, name, MAKEINTRESOURCEW(10));
    if (!info) return {nullptr, 0};
    return {LockResource(LoadResource(self, info)), SizeofResource(self, info)};
}

TEST(ImageResources, HaveTheirSizeAndColourTypeAndLoadOpaque) {
    for (const auto& c : Resources) {
        SCOPED_TRACE(U8(c.Name));
        auto [data, size] = RcData(c.Name);
        ASSERT_NE(data, nullptr);
        TPngImage png = DecodePng(data, size);
        EXPECT_EQ(png.Width, c.Width);
        EXPECT_EQ(png.Height, c.Height);
        EXPECT_EQ(png.HasAlpha, c.HasAlpha);
        TBitmap32 image;
        LoadPngResource(image, c.Name);
        ASSERT_EQ(image.Width, c.Width);
        ASSERT_EQ(image.Height, c.Height);
        std::size_t notOpaque = 0;
        for (std::uint32_t p : image.Pixels)
            notOpaque += (p >> 24) != 0xFF;
        EXPECT_EQ(notOpaque, 0u);
    }
}

TEST(ImageResources, LogoIsOpaqueInItsPngAndBannerCornerIsThePageColour) {
    auto [data, size] = RcData(L"LOGO");
    ASSERT_NE(data, nullptr);
    TPngImage logo = DecodePng(data, size);
    for (std::size_t i = 3; i < logo.Rgba.size(); i += 4)
        ASSERT_EQ(logo.Rgba[i], 255) << i / 4;
    TBackdrop backdrop;
    backdrop.LoadImages();
    EXPECT_TRUE(backdrop.ImagesLoaded()) << U8(backdrop.LoadError());
    EXPECT_EQ(backdrop.PageColor(), RGB(236, 236, 235));
}

TEST(ImageResources, MissingResourceIsNamedAndLeavesTheImageAlone) {
    TBitmap32 image;
    image.SetSize(2, 2, Argb(1, 2, 3));
    try {
        LoadPngResource(image, L"NO_SUCH_IMAGE");
        FAIL() << "a missing resource loaded";
    } catch (const EInstallError& e) {
        EXPECT_NE(e.Message.find(L"NO_SUCH_IMAGE"), std::wstring::npos) << U8(e.Message);
    }
    EXPECT_EQ(image.Width, 2);
    EXPECT_EQ(image.Pixel(1, 1), Argb(1, 2, 3));
}

// --- Composition
// ----------------------------------------------------------------------------------

// Synthetic images of the listed sizes whose every pixel tells which image it came from and
// where in it: red = id * 16 + x / 256, green = x % 256, blue = y % 256.
enum TImageId { idTexture = 1, idPanels, idLogo, idLeft, idRight, idMiddle, idBanner };

std::uint32_t Code(int id, int x, int y) {
    return Argb(id * 16 + x / 256, x % 256, y % 256);
}

TBitmap32 Coded(int id, int w, int h) {
    TBitmap32 image;
    image.SetSize(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.Row(y)[x] = Code(id, x, y);
    return image;
}

void FillSynthetic(TBackdrop& b) {
    b.BG_bmp = Coded(idTexture, 128, 128);
    b.Panels_bmp = Coded(idPanels, 958, 472);
    b.Logo_bmp = Coded(idLogo, 72, 70);
    b.Title_pnl_l_bmp = Coded(idLeft, 22, 100);
    b.Title_pnl_r_bmp = Coded(idRight, 22, 100);
    b.Title_pnl_m_bmp = Coded(idMiddle, 1, 100);
    b.Title_bmp = Coded(idBanner, 500, 66);
}

struct TLayoutCase {
    const char* Name;
    int W, H;
    int BannerX; // (W - 500) / 2 truncated toward zero, written out
};

void PrintTo(const TLayoutCase& c, std::ostream* os) {
    *os << c.Name;
}

// The expected owner of every pixel, in the order the pieces are laid on top of each other:
// panels over banner over logo over the title bar over the texture.
std::uint32_t ExpectedPixel(const TLayoutCase& c, int x, int y) {
    if (y >= 95 && y <= 566 && x <= 954) return Code(idPanels, x + 3, y - 95);
    if (x >= c.BannerX && x < c.BannerX + 500 && y >= 20 && y <= 85)
        return Code(idBanner, x - c.BannerX, y - 20);
    if (x >= 17 && x <= 88 && y >= 15 && y <= 84) return Code(idLogo, x - 17, y - 15);
    if (y <= 99) {
        int rightX = c.W - 22;
        if (x >= rightX) return Code(idRight, x - rightX, y);
        if (x <= 21) return Code(idLeft, x, y);
        return Code(idMiddle, 0, y);
    }
    return Code(idTexture, x % 128, y % 128);
}

class BackdropLayout : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(BackdropLayout, EveryPixelComesFromTheRightImageAndPlace) {
    const TLayoutCase& c = GetParam();
    TBackdrop backdrop;
    FillSynthetic(backdrop);
    backdrop.Compose(c.W, c.H);
    const TBitmap32& image = backdrop.Image();
    ASSERT_EQ(image.Width, c.W);
    ASSERT_EQ(image.Height, c.H);
    int wrong = 0;
    for (int y = 0; y < c.H; ++y)
        for (int x = 0; x < c.W; ++x) {
            std::uint32_t expected = ExpectedPixel(c, x, y);
            if (image.Pixel(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << Hex(image.Pixel(x, y))
                              << " instead of " << Hex(expected);
        }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BackdropLayout,
                         ::testing::Values(TLayoutCase{"Design954x579", 954, 579, 227},
                                           TLayoutCase{"Maximised1280x971", 1280, 971, 390},
                                           TLayoutCase{"MaximisedOddWidth1601x1000", 1601, 1000,
                                                       550},
                                           TLayoutCase{"NarrowerThanTheEnds31x120", 31, 120, -234},
                                           TLayoutCase{"TileMultiple1024x768", 1024, 768, 262}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BackdropCompose, MinimisedWindowGivesAnEmptyImage) {
    TBackdrop backdrop;
    FillSynthetic(backdrop);
    backdrop.Compose(0, 0);
    EXPECT_TRUE(backdrop.Image().Empty());
    EXPECT_TRUE(backdrop.Image().Pixels.empty());
}

// A half-transparent edge is mixed with white when loaded, so the dark texture under it in
// the backdrop never shows through.
TEST(BackdropCompose, HalfTransparentEdgesAreMixedWithWhiteNotWithTheTexture) {
    TBackdrop backdrop;
    FillSynthetic(backdrop);
    backdrop.BG_bmp.SetSize(128, 128, Argb(0, 0, 0));
    TPngImage left = OnePixel(40, 80, 120, 128);
    left.Width = 22, left.Height = 100;
    left.Rgba.clear();
    for (int i = 0; i < 22 * 100; ++i)
        left.Rgba.insert(left.Rgba.end(), {40, 80, 120, 128});
    FlattenOverWhite(left, backdrop.Title_pnl_l_bmp);
    TPngImage panels;
    panels.Width = 958, panels.Height = 472, panels.HasAlpha = true;
    panels.Rgba.assign(std::size_t(958) * 472 * 4, 0); // a transparent surround everywhere
    FlattenOverWhite(panels, backdrop.Panels_bmp);
    backdrop.Compose(954, 579);
    EXPECT_EQ(Hex(backdrop.Image().Pixel(3, 50)), Hex(Argb(147, 167, 187)));
    EXPECT_EQ(Hex(backdrop.Image().Pixel(500, 300)), Hex(Argb(255, 255, 255)));
    EXPECT_EQ(Hex(backdrop.Image().Pixel(500, 570)), Hex(Argb(0, 0, 0))); // texture below
}

TEST(BackdropPageColour, TakenFromTheBannerCornerWhiteWhenTransparent) {
    struct {
        TPngImage Corner;
        COLORREF Expected;
    } table[] = {
        {OnePixel(236, 236, 235, 255), RGB(236, 236, 235)},
        {OnePixel(10, 20, 30, 0), RGB(255, 255, 255)},
        {OnePixel(0, 0, 0, 128), RGB(127, 127, 127)},
    };
    for (const auto& c : table) {
        TBackdrop backdrop;
        FlattenOverWhite(c.Corner, backdrop.Title_bmp);
        EXPECT_EQ(backdrop.PageColor(), c.Expected);
    }
    EXPECT_EQ(TBackdrop().PageColor(), RGB(255, 255, 255)); // no banner at all
}

// --- Painting ----------------------------------------------------------------------------------

struct TMemoryCanvas {
    HDC Dc = CreateCompatibleDC(nullptr);
    std::uint32_t* Bits = nullptr;
    HBITMAP Bitmap;
    HGDIOBJ Old;
    int W, H;
    TMemoryCanvas(int w, int h) : W(w), H(h) {
        BITMAPINFO bmi{};
        bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        Bitmap =
            CreateDIBSection(Dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&Bits), nullptr, 0);
        Old = SelectObject(Dc, Bitmap);
        for (int i = 0; i < w * h; ++i)
            Bits[i] = Argb(1, 2, 3);
    }
    ~TMemoryCanvas() {
        SelectObject(Dc, Old);
        DeleteObject(Bitmap);
        DeleteDC(Dc);
    }
    std::uint32_t Rgb(int x, int y) const {
        GdiFlush();
        return Bits[y * W + x] & 0xFFFFFF;
    }
};

TEST(BackdropPaint, ShowsTheComposedImageOneToOneAndPageColourBeyondIt) {
    TBackdrop backdrop;
    FillSynthetic(backdrop);
    backdrop.Compose(954, 579);
    TMemoryCanvas canvas(1000, 600);
    ASSERT_NE(canvas.Bits, nullptr);
    backdrop.Paint(canvas.Dc, RECT{0, 0, 1000, 600});
    const std::uint32_t page = Code(idBanner, 0, 0) & 0xFFFFFF;
    int wrong = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 1000; ++x) {
            std::uint32_t expected =
                (x < 954 && y < 579) ? backdrop.Image().Pixel(x, y) & 0xFFFFFF : page;
            if (canvas.Rgb(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << Hex(canvas.Rgb(x, y))
                              << " instead of " << Hex(expected);
        }
    EXPECT_EQ(wrong, 0);
}

// --- An image that cannot be decoded -----------------------------------------------------------

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    *reinterpret_cast<LANGID*>(param) = language;
    return FALSE;
}

LANGID ResourceLanguage(HMODULE module, const wchar_t* name) {
    LANGID found = 0;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(10), name, FirstLanguage,
                           reinterpret_cast<LONG_PTR>(&found));
    return found;
}

// A copy of this test program whose LOGO resource is replaced by bytes that are not a PNG.
std::wstring CopyWithBrokenLogo(const TempDir& dir) {
    std::wstring copy = dir / L"broken.exe";
    if (!CopyFileW(ModuleFileName().c_str(), copy.c_str(), FALSE)) return L"";
    LANGID language = ResourceLanguage(GetModuleHandleW(nullptr), L"LOGO");
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    if (!update) return L"";
    char garbage[] = "\x89PNG but not really";
    BOOL ok =
        UpdateResourceW(update, MAKEINTRESOURCEW(10), L"LOGO", language, garbage, sizeof garbage);
    return EndUpdateResourceW(update, !ok) && ok ? copy : L"";
}

TEST(BackdropBrokenImage, WindowStaysUsableWithThePageColourAndTheFailureIsKnown) {
    TempDir dir;
    std::wstring broken = CopyWithBrokenLogo(dir);
    ASSERT_FALSE(broken.empty());
    HMODULE module = LoadLibraryExW(broken.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    TBackdrop backdrop;
    backdrop.LoadImages(module);
    EXPECT_FALSE(backdrop.ImagesLoaded());
    EXPECT_NE(backdrop.LoadError().find(L"LOGO"), std::wstring::npos) << U8(backdrop.LoadError());
    EXPECT_TRUE(backdrop.Logo_bmp.Empty());
    EXPECT_FALSE(backdrop.BG_bmp.Empty()); // the others still load
    EXPECT_EQ(backdrop.PageColor(), RGB(236, 236, 235));
    EXPECT_FALSE(backdrop.CanCompose());
    backdrop.Compose(954, 579);
    ASSERT_EQ(backdrop.Image().Width, 954);
    std::size_t other = 0;
    for (std::uint32_t p : backdrop.Image().Pixels)
        other += p != Argb(236, 236, 235);
    EXPECT_EQ(other, 0u);
    FreeLibrary(module);
}

TEST(BackdropBrokenImage, AnEmptyTileNeverHangsTheComposition) {
    TBackdrop backdrop;
    FillSynthetic(backdrop);
    backdrop.BG_bmp = TBitmap32{};
    backdrop.BG_bmp.Width = 128; // zero rows: a step of zero would loop for ever
    backdrop.Compose(954, 579);
    EXPECT_EQ(backdrop.Image().Pixel(500, 570), Code(idBanner, 0, 0));
}

// --- The side panel ----------------------------------------------------------------------------

struct SidePanel : ::testing::Test {
    HWND Parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 954, 579, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND RichEdit = nullptr;
    void SetUp() override {
        ASSERT_NE(Parent, nullptr);
        RichEdit = CreateRichEdit1(Parent, 101);
        ASSERT_NE(RichEdit, nullptr);
    }
    ~SidePanel() override { DestroyWindow(Parent); }

    std::wstring Text() const {
        GETTEXTLENGTHEX length{GTL_NUMCHARS, 1200};
        LRESULT n = SendMessageW(RichEdit, EM_GETTEXTLENGTHEX, WPARAM(&length), 0);
        std::wstring text(std::size_t(n) + 1, L'\0');
        GETTEXTEX get{DWORD(text.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
        n = SendMessageW(RichEdit, EM_GETTEXTEX, WPARAM(&get), LPARAM(text.data()));
        text.resize(std::size_t(n));
        return text;
    }
};

TEST_F(SidePanel, ReadOnlyWithoutBorderFromTheSystemFolder) {
    LONG style = GetWindowLongW(RichEdit, GWL_STYLE);
    LONG exStyle = GetWindowLongW(RichEdit, GWL_EXSTYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_FALSE(style & WS_BORDER);
    EXPECT_FALSE(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    wchar_t className[64] = {};
    GetClassNameW(RichEdit, className, 64);
    EXPECT_EQ(_wcsicmp(className, L"RichEdit50W"), 0) << U8(className);
    HMODULE library = GetModuleHandleW(L"msftedit.dll");
    ASSERT_NE(library, nullptr);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_TRUE(SameTextLocale(ExtractFilePath(ModuleFileName(library)),
                               IncludeTrailingPathDelimiter(system)))
        << U8(ModuleFileName(library));
}

TEST_F(SidePanel, PlacedWithFourPixelMarginsThatSurviveAMove) {
    for (int round = 0; round < 2; ++round) {
        PlaceRichEdit1(RichEdit, 16, 110, 282, 441);
        RECT r;
        GetWindowRect(RichEdit, &r);
        MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, 16);
        EXPECT_EQ(r.top, 110);
        EXPECT_EQ(r.right - r.left, 282);
        EXPECT_EQ(r.bottom - r.top, 441);
        RECT text{};
        SendMessageW(RichEdit, EM_GETRECT, 0, LPARAM(&text));
        RECT client;
        GetClientRect(RichEdit, &client);
        EXPECT_EQ(text.left, client.left + 4);
        EXPECT_EQ(text.top, client.top + 4);
        EXPECT_EQ(text.right, client.right - 4);
        EXPECT_EQ(text.bottom, client.bottom - 4);
    }
}

TEST_F(SidePanel, DefaultFontIsMsSansSerif13Pixels) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(RichEdit, EM_GETCHARFORMAT, SCF_DEFAULT, LPARAM(&format));
    EXPECT_STREQ(format.szFaceName, L"MS Sans Serif");
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(MulDiv(format.yHeight, dpi, 1440), 13) << format.yHeight << " twips at " << dpi;
}

TEST_F(SidePanel, ShowsTheRussianDocumentAndReplacesIt) {
    ASSERT_TRUE(LoadRichEdit1Info(RichEdit));
    std::wstring first = Text();
    EXPECT_NE(first.find(L"Velmora"), std::wstring::npos) << U8(first);
    EXPECT_NE(first.find(L"Программа установки"), std::wstring::npos) << U8(first);
    EXPECT_EQ(first.find(L"\\'"), std::wstring::npos) << "RTF escapes shown as text";
    ASSERT_TRUE(LoadRichEdit1Info(RichEdit));
    EXPECT_EQ(Text(), first);
}

TEST_F(SidePanel, TakesThePageColourAsBackground) {
    SetRichEdit1Color(RichEdit, RGB(236, 236, 235));
    // The message answers with the colour it replaces.
    LRESULT previous = SendMessageW(RichEdit, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3));
    EXPECT_EQ(COLORREF(previous), RGB(236, 236, 235));
}

} // namespace
