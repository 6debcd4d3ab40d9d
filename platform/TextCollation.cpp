#include "platform/TextCollation.h"

#include <glib.h>

#include <clocale>
#include <cstring>

namespace lorvane {

namespace {

// A glib string freed on every way out.
struct TGString {
  gchar* text;
  ~TGString() { g_free(text); }
};


// strxfrm follows the collation of the locale in force (UseUserCollation).
std::string Transformed(const char* text) {
  size_t length = std::strxfrm(nullptr, text, 0);
  std::string key(length + 1, '\0');
  std::strxfrm(key.data(), text, key.size());
  key.resize(length);
  return key;
}

}  // namespace

bool NamesUtf8(const char* locale) {
  if (!locale) return false;
  std::string name = locale;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

void UseUserCollation() {
  // Names are UTF-8 inside the program; a collation for another character set would order
  // their bytes wrongly, so such a locale gives way to plain code-point order.
  if (!NamesUtf8(std::setlocale(LC_COLLATE, ""))) std::setlocale(LC_COLLATE, "C.UTF-8");
}

std::string CaseInsensitiveSortKey(const std::string& text) {
  // Most names are plain ASCII: folding them needs no help, and a folder of many thousands of
  // files sorts in a fraction of the time.
  bool ascii = true;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) {
    std::string folded = text;
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return Transformed(folded.c_str());
  }
  TGString valid{g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()))};
  TGString folded{g_utf8_casefold(valid.text, -1)};
  TGString composed{g_utf8_normalize(folded.text, -1, G_NORMALIZE_DEFAULT_COMPOSE)};
  return Transformed(composed.text ? composed.text : folded.text);
}

std::string DisplayText(const std::string& text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  TGString valid{g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()))};
  return valid.text;
}

}  // namespace lorvane
