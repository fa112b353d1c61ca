#pragma once
// Language files: "<Language>.lcl" beside the program, INI text read on every
// lookup, so that an edited file shows at the next lookup.
#include <string>
#include <vector>

extern std::vector<std::string> Languages;  // sorted, ignoring case, no duplicates
extern std::string CurrentLanguage;         // "" until the first SetLanguage

void RefreshLanguages();
void SetLanguage(const std::string& name);
// The text of Key in Section of the current language file; "" when the file,
// the section or the key is missing.
std::string LangText(const std::string& section, const std::string& key);
// Start-up choice: the stored "Language", or "English" (written back) when it
// has three characters or fewer.
void ChooseStartLanguage();
// A name that can stand for a language file beside the program: a plain
// file name without folder, "." or "..", without the characters Windows
// refuses in file names, not ending in a blank or a dot, and no device name.
bool IsLanguageName(const std::string& name);
// Program end.
void FreeLanguages();
