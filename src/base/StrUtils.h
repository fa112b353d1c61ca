#pragma once
// Small text helpers. Texts are 8-bit ANSI strings; letter case rules are
// those of the ASCII letters, as the program's comparisons expect.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ignoring ASCII case
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
std::string Trim(std::string_view s);  // blanks and control characters at both ends

// Path pieces with both '\' and ':' as separators, as Windows paths have.
std::string ExtractFileName(std::string_view path);
std::string ExtractFilePath(std::string_view path);  // up to and including the last separator
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Windows-style wildcard match ('*' and '?'), ignoring ASCII case.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// A decimal integer with an optional sign that fits 32 bits; false for
// anything else (blanks included).
bool TryStrToInt(std::string_view s, int32_t& out);

// Every occurrence of |from| (not empty) replaced by |to|.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Splits at each occurrence of |sep|.
std::vector<std::string> Split(std::string_view s, char sep);
