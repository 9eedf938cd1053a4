#pragma once
// Real TrueType fonts for tests and demo distributions. Each fixture is a DejaVu font whose
// name table carries a word of its own instead of "DejaVu", so that its full name is one that
// no host font has and Wine cannot confuse it with a font it already knows.
#include <string>

constexpr int TestFontCount = 7;

// The bytes of fixture `index` (0 to TestFontCount - 1); throws std::runtime_error when the
// DejaVu source font cannot be read or is not a TrueType file with a name table.
std::string MakeTestFont(int index);

// The full name (name id 4) of fixture `index`, as GetFontResourceInfoW reports it.
std::wstring TestFontFullName(int index);

// The DejaVu font the fixtures are made from, as a path Wine can open.
std::wstring TestFontSourcePath();
