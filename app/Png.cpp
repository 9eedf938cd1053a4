#include "app/Png.h"
#include "common/Errors.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

const int ColorTypeRgb = 2;
const int ColorTypeRgba = 6;

[[noreturn]] void Refuse(const std::wstring& why) {
    throw EInstallError(L"Изображение PNG не может быть прочитано: " + why);
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

std::wstring ChunkName(const std::uint8_t* type) {
    std::wstring name;
    for (int i = 0; i < 4; ++i)
        name += (type[i] >= 0x20 && type[i] < 0x7F) ? wchar_t(type[i]) : L'?';
    return name;
}

struct TChunk {
    const std::uint8_t* Type;
    const std::uint8_t* Data;
    std::uint32_t Length;
};

// Walks the chunks of the file, checking each one's bounds and CRC before it is handed out.
class TChunkReader {
public:
    TChunkReader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    TChunk Next() {
        if (Left() < 12) Refuse(L"данные обрываются (нет блока IEND)");
        std::uint32_t length = BigEndian32(p_);
        if (length > 0x7FFFFFFFu || length > Left() - 12)
            Refuse(L"данные обрываются внутри блока " + ChunkName(p_ + 4));
        TChunk chunk{p_ + 4, p_ + 8, length};
        std::uint32_t stored = BigEndian32(p_ + 8 + length);
        uLong crc = crc32(0L, chunk.Type, 4);
        crc = crc32(crc, chunk.Data, length);
        if (crc != stored) Refuse(L"неверная контрольная сумма блока " + ChunkName(chunk.Type));
        p_ += 12 + std::size_t(length);
        return chunk;
    }

private:
    std::size_t Left() const { return std::size_t(end_ - p_); }
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

bool IsType(const TChunk& c, const char* name) {
    return std::memcmp(c.Type, name, 4) == 0;
}

// Bit 5 of the first letter marks a chunk that a decoder may skip without understanding it.
bool IsAncillary(const TChunk& c) {
    return (c.Type[0] & 0x20) != 0;
}

struct THeader {
    int Width;
    int Height;
    int Channels;
};

THeader ReadHeader(const TChunk& c) {
    if (!IsType(c, "IHDR") || c.Length != 13) Refuse(L"первым должен идти блок IHDR");
    std::uint32_t width = BigEndian32(c.Data), height = BigEndian32(c.Data + 4);
    int depth = c.Data[8], colorType = c.Data[9];
    int compression = c.Data[10], filter = c.Data[11], interlace = c.Data[12];
    if (width == 0 || height == 0) Refuse(L"нулевой размер изображения");
    if (width > MaxPngDimension || height > MaxPngDimension)
        Refuse(L"размер " + std::to_wstring(width) + L"×" + std::to_wstring(height) +
               L" больше допустимого");
    if (colorType != ColorTypeRgb && colorType != ColorTypeRgba)
        Refuse(L"неподдерживаемый тип цвета " + std::to_wstring(colorType) +
               L" (поддерживаются только RGB и RGBA)");
    if (depth != 8) Refuse(L"неподдерживаемая глубина цвета " + std::to_wstring(depth) + L" бит");
    if (compression != 0 || filter != 0) Refuse(L"неизвестный метод сжатия или фильтрации");
    if (interlace != 0) Refuse(L"изображения с чересстрочной разверткой не поддерживаются");
    return {int(width), int(height), colorType == ColorTypeRgba ? 4 : 3};
}

// The compressed stream may span any number of IDAT chunks; they must follow one another.
std::vector<std::uint8_t> CollectImageData(TChunkReader& reader) {
    std::vector<std::uint8_t> stream;
    enum { Before, Inside, After } state = Before;
    for (;;) {
        TChunk c = reader.Next();
        if (IsType(c, "IEND")) break;
        if (IsType(c, "IDAT")) {
            if (state == After) Refuse(L"блоки IDAT идут не подряд");
            state = Inside;
            stream.insert(stream.end(), c.Data, c.Data + c.Length);
        } else if (IsType(c, "IHDR")) {
            Refuse(L"повторный блок IHDR");
        } else if (IsType(c, "PLTE") || IsAncillary(c)) {
            // A suggested palette for true-colour images, or optional information.
            if (state == Inside) state = After;
        } else {
            Refuse(L"неизвестный обязательный блок " + ChunkName(c.Type));
        }
    }
    if (state == Before) Refuse(L"нет данных изображения (блока IDAT)");
    return stream;
}

// Inflates into exactly the size the header implies: less data is a truncation, more is damage.
std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& stream, std::size_t expected) {
    std::vector<std::uint8_t> out(expected);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) Refuse(L"не удалось начать распаковку");
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int rc = inflate(&z, Z_FINISH);
    std::size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (rc == Z_STREAM_END && produced == expected) return out;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) Refuse(L"сжатые данные повреждены");
    if (produced == expected) Refuse(L"сжатых данных больше, чем нужно изображению");
    Refuse(L"сжатые данные обрываются");
}

int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes the per-row filters in place; `prior` is the previous row, or null for the first.
// One loop per filter, and the first pixel (which has no left neighbour) apart: the backdrop is
// decoded while the first window waits for it.
void Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
              int bpp) {
    const std::size_t first = std::min(length, std::size_t(bpp));
    switch (filter) {
    case 1:
        for (std::size_t i = first; i < length; ++i)
            row[i] = std::uint8_t(row[i] + row[i - bpp]);
        break;
    case 2:
        if (prior)
            for (std::size_t i = 0; i < length; ++i)
                row[i] = std::uint8_t(row[i] + prior[i]);
        break;
    case 3:
        for (std::size_t i = 0; i < first; ++i)
            row[i] = std::uint8_t(row[i] + (prior ? prior[i] : 0) / 2);
        for (std::size_t i = first; i < length; ++i)
            row[i] = std::uint8_t(row[i] + (row[i - bpp] + (prior ? prior[i] : 0)) / 2);
        break;
    case 4:
        if (!prior) { // with no row above, Paeth always picks the left neighbour
            for (std::size_t i = first; i < length; ++i)
                row[i] = std::uint8_t(row[i] + row[i - bpp]);
            break;
        }
        for (std::size_t i = 0; i < first; ++i)
            row[i] = std::uint8_t(row[i] + prior[i]);
        for (std::size_t i = first; i < length; ++i)
            row[i] = std::uint8_t(row[i] + Paeth(row[i - bpp], prior[i], prior[i - bpp]));
        break;
    }
}

TPngImage Reconstruct(const THeader& h, std::vector<std::uint8_t>& raw) {
    const std::size_t stride = std::size_t(h.Width) * h.Channels;
    TPngImage image;
    image.Width = h.Width;
    image.Height = h.Height;
    image.HasAlpha = h.Channels == 4;
    image.Rgba.resize(std::size_t(h.Width) * h.Height * 4);
    for (int y = 0; y < h.Height; ++y) {
        std::uint8_t* line = raw.data() + std::size_t(y) * (stride + 1);
        int filter = line[0];
        if (filter > 4) Refuse(L"неизвестный фильтр строки " + std::to_wstring(filter));
        const std::uint8_t* prior = y > 0 ? line - stride : nullptr;
        Unfilter(filter, line + 1, prior, stride, h.Channels);
        std::uint8_t* dst = image.Rgba.data() + std::size_t(y) * h.Width * 4;
        const std::uint8_t* src = line + 1;
        if (h.Channels == 4) {
            std::memcpy(dst, src, stride);
            continue;
        }
        for (int x = 0; x < h.Width; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
    }
    return image;
}

} // namespace

TPngImage DecodePng(const void* data, std::size_t size) {
    auto bytes = static_cast<const std::uint8_t*>(data);
    if (!bytes || size < sizeof Signature || std::memcmp(bytes, Signature, sizeof Signature) != 0)
        Refuse(L"это не файл PNG");
    TChunkReader reader(bytes + sizeof Signature, size - sizeof Signature);
    THeader header = ReadHeader(reader.Next());
    std::vector<std::uint8_t> stream = CollectImageData(reader);
    std::size_t rowBytes = 1 + std::size_t(header.Width) * header.Channels;
    std::vector<std::uint8_t> raw = Inflate(stream, rowBytes * header.Height);
    return Reconstruct(header, raw);
}
