#pragma once
// Text comparison and display for names that come from the file system.
#include <string>

namespace lorvane {

// Lets name comparisons follow the user's language (the collation part of the locale only, so
// number formatting and everything else stays as it is). Called once at start-up.
void UseUserCollation();
// True when the locale's name says its character set is UTF-8 ("de_DE.UTF-8", "C.utf8").
bool NamesUtf8(const char* locale);

// A key whose plain byte order (std::string's <) is the case-insensitive order of the texts in
// the user's language. Bytes that are not valid UTF-8 are compared as replacement characters.
std::string CaseInsensitiveSortKey(const std::string& text);

// The text as it may be drawn: every byte sequence that is not valid UTF-8 becomes U+FFFD.
std::string DisplayText(const std::string& text);

}  // namespace lorvane
