#include "TestFonts.h"

#include "common/WinUtil.h"

#include <cstdint>
#include <stdexcept>

#ifndef TEST_FONT_SOURCE_DIR
#error "TEST_FONT_SOURCE_DIR must name the folder of the DejaVu fonts"
#endif

namespace {

// Same length as "DejaVu", so every string keeps its length and the name table its offsets.
const char* const FixtureWords[TestFontCount] = {"Arilex", "Arinar", "Courix", "Missan",
                                                 "Tahmox", "Timvex", "Verdix"};
const char SourceWord[] = "DejaVu";
const wchar_t SourceFile[] = L"DejaVuSansMono.ttf";
const wchar_t SourceFullNameTail[] = L" Sans Mono";

uint32_t ReadU32(const std::string& b, size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("font file cut short");
    return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
           (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

uint16_t ReadU16(const std::string& b, size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("font file cut short");
    return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1]));
}

void WriteU32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (24 - 8 * i));
}

// The TrueType checksum: big-endian 32-bit words summed, the last one padded with zeros.
uint32_t Checksum(const std::string& b, size_t offset, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint8_t byte =
                (i + k < length && offset + i + k < b.size()) ? uint8_t(b[offset + i + k]) : 0;
            word = (word << 8) | byte;
        }
        sum += word;
    }
    return sum;
}

struct TableRecord {
    size_t recordAt = 0; // where the 16-byte directory entry lies
    uint32_t offset = 0;
    uint32_t length = 0;
};

TableRecord FindTable(const std::string& font, const char tag[4]) {
    uint16_t tables = ReadU16(font, 4);
    for (uint16_t i = 0; i < tables; ++i) {
        size_t at = 12 + 16 * size_t(i);
        if (at + 16 > font.size()) break;
        if (font.compare(at, 4, tag, 4) == 0) {
            TableRecord r{at, ReadU32(font, at + 8), ReadU32(font, at + 12)};
            if (size_t(r.offset) + r.length > font.size()) break;
            return r;
        }
    }
    throw std::runtime_error(std::string("font has no valid table ") + std::string(tag, 4));
}

// Replaces `from` by `to` (same length) wherever it occurs in [begin, end).
void ReplaceAll(std::string& b, size_t begin, size_t end, const std::string& from,
                const std::string& to) {
    for (size_t at = b.find(from, begin); at != std::string::npos && at + from.size() <= end;
         at = b.find(from, at + from.size()))
        b.replace(at, from.size(), to);
}

std::string Utf16BigEndian(const char* ascii) {
    std::string s;
    for (const char* p = ascii; *p; ++p) {
        s += '\0';
        s += *p;
    }
    return s;
}

// The name table has both Macintosh (one byte per character) and Windows (UTF-16BE) strings.
void RenameFamily(std::string& font, const char* word) {
    TableRecord name = FindTable(font, "name");
    size_t end = size_t(name.offset) + name.length;
    ReplaceAll(font, name.offset, end, SourceWord, word);
    ReplaceAll(font, name.offset, end, Utf16BigEndian(SourceWord), Utf16BigEndian(word));
    WriteU32(font, name.recordAt + 4, Checksum(font, name.offset, name.length));
}

// head.checkSumAdjustment makes the whole file sum to a fixed value; it must follow the edit.
void FixWholeFileChecksum(std::string& font) {
    TableRecord head = FindTable(font, "head");
    WriteU32(font, head.offset + 8, 0);
    WriteU32(font, head.recordAt + 4, Checksum(font, head.offset, head.length));
    WriteU32(font, head.offset + 8, 0xB1B0AFBAu - Checksum(font, 0, font.size()));
}

void CheckIndex(int index) {
    if (index < 0 || index >= TestFontCount) throw std::out_of_range("no such test font");
}

} // namespace

std::wstring TestFontSourcePath() {
    // The folder is a host path; Wine maps the host's root to drive Z:.
    std::wstring folder = FromUtf8(TEST_FONT_SOURCE_DIR);
    for (auto& c : folder)
        if (c == L'/') c = L'\\';
    if (!folder.empty() && folder[0] == L'\\') folder = L"Z:" + folder;
    return IncludeTrailingPathDelimiter(folder) + SourceFile;
}

std::string MakeTestFont(int index) {
    CheckIndex(index);
    std::string font;
    if (!ReadFileBytes(TestFontSourcePath(), font))
        throw std::runtime_error("cannot read " + ToUtf8(TestFontSourcePath()));
    RenameFamily(font, FixtureWords[index]);
    FixWholeFileChecksum(font);
    return font;
}

std::wstring TestFontFullName(int index) {
    CheckIndex(index);
    return FromUtf8(FixtureWords[index]) + SourceFullNameTail;
}
