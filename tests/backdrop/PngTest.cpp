// The PNG decoder: images built here with zlib's compress and a CRC of our own, decoded back
// to known pixels; and every damaged or unsupported form refused without a crash.
#include "app/Png.h"
#include "common/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// CRC-32 of PNG (polynomial 0xEDB88320), bit by bit, independent of the decoder's.
std::uint32_t Crc(const std::string& bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

std::string Be32(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    return Be32(std::uint32_t(data.size())) + type + data + Be32(Crc(type + data));
}

const std::string Signature("\x89PNG\r\n\x1A\n", 8);

// Known pixels: every channel differs from its neighbours, so each filter has work to do.
std::uint8_t Sample(int x, int y, int c) {
    return std::uint8_t(x * 37 + y * 91 + c * 53 + x * y);
}

int PaethOf(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// The scan lines with each row's filter applied, as an encoder writes them.
std::string FilteredRows(int w, int h, int channels, const std::vector<int>& filters) {
    std::string out;
    auto raw = [&](int x, int y, int c) -> int { return (x < 0 || y < 0) ? 0 : Sample(x, y, c); };
    for (int y = 0; y < h; ++y) {
        int filter = filters[y % filters.size()];
        out += char(filter);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                int a = raw(x - 1, y, c), b = raw(x, y - 1, c), d = raw(x - 1, y - 1, c);
                int predictor = filter == 1   ? a
                                : filter == 2 ? b
                                : filter == 3 ? (a + b) / 2
                                : filter == 4 ? PaethOf(a, b, d)
                                              : 0;
                out += char(std::uint8_t(raw(x, y, c) - predictor));
            }
    }
    return out;
}

std::string Compress(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()));
    out.resize(size);
    return out;
}

struct THeaderFields {
    std::uint32_t Width = 4, Height = 3;
    int Depth = 8, ColorType = 2, Interlace = 0;
};

std::string Ihdr(const THeaderFields& h) {
    return Chunk("IHDR", Be32(h.Width) + Be32(h.Height) + char(h.Depth) + char(h.ColorType) + '\0' +
                             '\0' + char(h.Interlace));
}

// The compressed stream cut into `parts` IDAT chunks of nearly equal size.
std::string Idats(const std::string& stream, int parts) {
    std::string out;
    std::size_t step = (stream.size() + parts - 1) / parts;
    for (std::size_t at = 0; at < stream.size(); at += step)
        out += Chunk("IDAT", stream.substr(at, step));
    return out;
}

std::string MakePng(const THeaderFields& h, const std::vector<int>& filters, int idatParts = 1,
                    const std::string& extraBeforeData = "") {
    int channels = h.ColorType == 6 ? 4 : 3;
    std::string stream = Compress(FilteredRows(int(h.Width), int(h.Height), channels, filters));
    return Signature + Ihdr(h) + extraBeforeData + Idats(stream, idatParts) + Chunk("IEND", "");
}

// The decoder's refusal message, or "<accepted>".
std::wstring RefusalOf(const std::string& png) {
    try {
        DecodePng(png.data(), png.size());
        return L"<accepted>";
    } catch (const EInstallError& e) {
        return e.Message;
    }
}

struct TValidCase {
    const char* Name;
    int ColorType;
    std::uint32_t Width, Height;
    std::vector<int> Filters;
    int IdatParts;
    std::string Extra;
};

void PrintTo(const TValidCase& c, std::ostream* os) {
    *os << c.Name;
}

class PngDecodesKnownPixels : public ::testing::TestWithParam<TValidCase> {};

TEST_P(PngDecodesKnownPixels, EveryPixelAndChannel) {
    const TValidCase& c = GetParam();
    THeaderFields h;
    h.Width = c.Width, h.Height = c.Height, h.ColorType = c.ColorType;
    std::string png = MakePng(h, c.Filters, c.IdatParts, c.Extra);
    TPngImage image = DecodePng(png.data(), png.size());
    ASSERT_EQ(image.Width, int(c.Width));
    ASSERT_EQ(image.Height, int(c.Height));
    EXPECT_EQ(image.HasAlpha, c.ColorType == 6);
    ASSERT_EQ(image.Rgba.size(), std::size_t(c.Width) * c.Height * 4);
    int wrong = 0;
    for (int y = 0; y < int(c.Height); ++y)
        for (int x = 0; x < int(c.Width); ++x)
            for (int ch = 0; ch < 4; ++ch) {
                int expected = (ch == 3 && c.ColorType == 2) ? 255 : Sample(x, y, ch);
                int got = image.Rgba[(std::size_t(y) * c.Width + x) * 4 + ch];
                if (got != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << ch << ": " << got
                                  << " instead of " << expected;
            }
    EXPECT_EQ(wrong, 0);
}

const std::string TextChunk = Chunk("tEXt", std::string("Comment\0made here", 17));
const std::string Palette = Chunk("PLTE", std::string("\x10\x20\x30\x40\x50\x60", 6));

INSTANTIATE_TEST_SUITE_P(
    Table, PngDecodesKnownPixels,
    ::testing::Values(
        TValidCase{"RgbNone", 2, 7, 5, {0}, 1, ""}, TValidCase{"RgbSub", 2, 7, 5, {1}, 1, ""},
        TValidCase{"RgbUp", 2, 7, 5, {2}, 1, ""}, TValidCase{"RgbAverage", 2, 7, 5, {3}, 1, ""},
        TValidCase{"RgbPaeth", 2, 7, 5, {4}, 1, ""}, TValidCase{"RgbaNone", 6, 6, 4, {0}, 1, ""},
        TValidCase{"RgbaSub", 6, 6, 4, {1}, 1, ""}, TValidCase{"RgbaUp", 6, 6, 4, {2}, 1, ""},
        TValidCase{"RgbaAverage", 6, 6, 4, {3}, 1, ""},
        TValidCase{"RgbaPaeth", 6, 6, 4, {4}, 1, ""},
        TValidCase{"RgbaMixedFiltersThreeIdats", 6, 33, 10, {4, 3, 2, 1, 0}, 3, ""},
        TValidCase{"RgbOneByteIdats", 2, 9, 6, {2, 4, 1}, 1000, ""},
        TValidCase{"RgbOnePixel", 2, 1, 1, {4}, 1, ""},
        TValidCase{"RgbOneColumn", 6, 1, 100, {3, 4}, 2, ""},
        TValidCase{"AncillaryAndSuggestedPaletteSkipped", 2, 5, 5, {4}, 2, TextChunk + Palette}),
    [](const auto& info) { return std::string(info.param.Name); });

// A small valid file that the damage cases below start from.
std::string GoodPng() {
    return MakePng(THeaderFields{}, {4});
}

// Offset of the first byte of the chunk of `type` in `png`.
std::size_t ChunkAt(const std::string& png, const std::string& type) {
    return png.find(type) - 4;
}

std::string Flip(std::string png, std::size_t at) {
    png[at] = char(png[at] ^ 0x01);
    return png;
}

struct TInvalidCase {
    const char* Name;
    std::function<std::string()> Make;
    std::wstring Reason; // a part of the message that names the fault
};

void PrintTo(const TInvalidCase& c, std::ostream* os) {
    *os << c.Name;
}

class PngRefuses : public ::testing::TestWithParam<TInvalidCase> {};

TEST_P(PngRefuses, WithAMessageNamingTheFault) {
    std::wstring message = RefusalOf(GetParam().Make());
    EXPECT_NE(message.find(GetParam().Reason), std::wstring::npos) << U8(message);
}

THeaderFields With(std::function<void(THeaderFields&)> change) {
    THeaderFields h;
    change(h);
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PngRefuses,
    ::testing::Values(
        TInvalidCase{"Empty", [] { return std::string(); }, L"не файл PNG"},
        TInvalidCase{"BadSignature", [] { return Flip(GoodPng(), 1); }, L"не файл PNG"},
        TInvalidCase{"HeaderCrc", [] { return Flip(GoodPng(), ChunkAt(GoodPng(), "IHDR") + 20); },
                     L"контрольная сумма блока IHDR"},
        TInvalidCase{"DataCrc", [] { return Flip(GoodPng(), ChunkAt(GoodPng(), "IEND") - 1); },
                     L"контрольная сумма блока IDAT"},
        TInvalidCase{"PayloadChangedUnderItsCrc",
                     [] { return Flip(GoodPng(), ChunkAt(GoodPng(), "IDAT") + 9); },
                     L"контрольная сумма блока IDAT"},
        TInvalidCase{"NoEnd",
                     [] {
                         std::string png = GoodPng();
                         return png.substr(0, ChunkAt(png, "IEND"));
                     },
                     L"нет блока IEND"},
        TInvalidCase{"LengthPastTheEnd",
                     [] {
                         std::string png = GoodPng();
                         png.replace(ChunkAt(png, "IDAT"), 4, Be32(0xFFFFFFF0u));
                         return png;
                     },
                     L"обрываются внутри блока IDAT"},
        TInvalidCase{"Grey", [] { return MakePng(With([](auto& h) { h.ColorType = 0; }), {0}); },
                     L"тип цвета 0"},
        TInvalidCase{"Palette", [] { return MakePng(With([](auto& h) { h.ColorType = 3; }), {0}); },
                     L"тип цвета 3"},
        TInvalidCase{"GreyAlpha",
                     [] { return MakePng(With([](auto& h) { h.ColorType = 4; }), {0}); },
                     L"тип цвета 4"},
        TInvalidCase{"SixteenBits",
                     [] { return MakePng(With([](auto& h) { h.Depth = 16; }), {0}); },
                     L"глубина цвета 16"},
        TInvalidCase{"OneBit", [] { return MakePng(With([](auto& h) { h.Depth = 1; }), {0}); },
                     L"глубина цвета 1"},
        TInvalidCase{"Interlaced",
                     [] { return MakePng(With([](auto& h) { h.Interlace = 1; }), {0}); },
                     L"чересстрочной"},
        TInvalidCase{
            "TooWide",
            [] { return MakePng(With([](auto& h) { h.Width = MaxPngDimension + 1; }), {0}); },
            L"больше допустимого"},
        TInvalidCase{"HugeHeaderOnly",
                     [] {
                         return Signature +
                                Ihdr(With([](auto& h) { h.Width = h.Height = 0x7FFFFFFF; })) +
                                Chunk("IEND", "");
                     },
                     L"больше допустимого"},
        TInvalidCase{"ZeroWidth", [] { return MakePng(With([](auto& h) { h.Width = 0; }), {0}); },
                     L"нулевой размер"},
        TInvalidCase{"FirstChunkNotHeader",
                     [] { return Signature + Chunk("IEND", "") + Ihdr(THeaderFields{}); }, L"IHDR"},
        TInvalidCase{"UnknownCriticalChunk",
                     [] { return MakePng(THeaderFields{}, {0}, 1, Chunk("ZZZZ", "x")); },
                     L"обязательный блок ZZZZ"},
        TInvalidCase{"NoImageData",
                     [] { return Signature + Ihdr(THeaderFields{}) + Chunk("IEND", ""); }, L"IDAT"},
        TInvalidCase{"DataChunksApart",
                     [] {
                         std::string stream = Compress(FilteredRows(4, 3, 3, {0}));
                         std::size_t half = stream.size() / 2;
                         return Signature + Ihdr(THeaderFields{}) +
                                Chunk("IDAT", stream.substr(0, half)) + TextChunk +
                                Chunk("IDAT", stream.substr(half)) + Chunk("IEND", "");
                     },
                     L"не подряд"},
        TInvalidCase{"UnknownRowFilter",
                     [] {
                         std::string rows = FilteredRows(4, 3, 3, {0});
                         rows[1 + 4 * 3] = 5; // the second row's filter byte
                         return Signature + Ihdr(THeaderFields{}) + Chunk("IDAT", Compress(rows)) +
                                Chunk("IEND", "");
                     },
                     L"фильтр строки 5"},
        TInvalidCase{"FewerRowsThanTheHeader",
                     [] {
                         return Signature + Ihdr(THeaderFields{}) +
                                Chunk("IDAT", Compress(FilteredRows(4, 2, 3, {0}))) +
                                Chunk("IEND", "");
                     },
                     L"обрываются"},
        TInvalidCase{"MoreRowsThanTheHeader",
                     [] {
                         return Signature + Ihdr(THeaderFields{}) +
                                Chunk("IDAT", Compress(FilteredRows(4, 4, 3, {0}))) +
                                Chunk("IEND", "");
                     },
                     L"больше, чем нужно"},
        TInvalidCase{"NotDeflate",
                     [] {
                         return Signature + Ihdr(THeaderFields{}) +
                                Chunk("IDAT", "this is no zlib stream") + Chunk("IEND", "");
                     },
                     L"повреждены"}),
    [](const auto& info) { return std::string(info.param.Name); });

// Every cut of a valid file, at every byte, is refused: no crash, no read past the data.
TEST(PngTruncated, EveryPrefixIsRefused) {
    std::string png = MakePng(THeaderFields{}, {4}, 3);
    for (std::size_t size = 0; size < png.size(); ++size) {
        // A copy of exactly `size` bytes, so that a read past it would leave the buffer.
        std::vector<char> cut(png.begin(), png.begin() + size);
        try {
            DecodePng(cut.data(), cut.size());
            ADD_FAILURE() << "a file cut to " << size << " of " << png.size() << " bytes decoded";
        } catch (const EInstallError&) {
        }
    }
}

} // namespace
