#include "platform/LocalTime.h"

#include <clocale>

#include "platform/TextCollation.h"

namespace lorvane {

namespace {

std::string Format(std::time_t when, const char* format) {
  std::tm local{};
  if (!localtime_r(&when, &local)) return std::string();
  char text[128];
  const size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

}  // namespace

void UseUserTimeFormat() {
  const char* chosen = std::setlocale(LC_TIME, "");
  if (!chosen) return;  // a locale the system lacks: C's way
  // Text is UTF-8 inside the program; a locale of another character set would write its
  // month and day-period names in that set, so its UTF-8 twin is taken where there is one.
  const std::string name = chosen;
  if (name == "C" || name == "POSIX" || NamesUtf8(chosen)) return;
  const std::string twin = name.substr(0, name.find_first_of(".@")) + ".UTF-8";
  std::setlocale(LC_TIME, twin.c_str());
}

std::string ShortDateText(std::time_t when) { return Format(when, "%x"); }
std::string LongTimeText(std::time_t when) { return Format(when, "%X"); }

}  // namespace lorvane
