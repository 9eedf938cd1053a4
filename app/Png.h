#pragma once
// A PNG decoder of our own on zlib, for the images the installer carries: 8-bit RGB and RGBA,
// not interlaced. Every other form, and any damaged or truncated data, is refused with an
// EInstallError; the decoder never reads past the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded image: rows top to bottom, 4 bytes per pixel in the order R, G, B, A.
// Images without an alpha channel come out with A = 255 everywhere.
struct TPngImage {
    int Width = 0;
    int Height = 0;
    bool HasAlpha = false;
    std::vector<std::uint8_t> Rgba;
};

// Larger images are refused before any memory is reserved for them: the installer's own are
// under a thousand pixels a side, and a 32-bit process cannot spare much more.
constexpr std::uint32_t MaxPngDimension = 4096;

TPngImage DecodePng(const void* data, std::size_t size);
