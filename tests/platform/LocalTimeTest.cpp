// File dates and times in the user's language, while numbers keep the C locale libmpv needs.
#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace lorvane {
namespace {

// Sets an environment variable for one test and puts back what was there.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LocalTimeTest : public ::testing::Test {
 protected:
  void SetUp() override { tzset(); }
  void TearDown() override {
    std::setlocale(LC_TIME, "C");
    tzset();
  }
  static std::string Number() {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 2.5);
    return text;
  }

  ScopedEnvironment zone_{"TZ", "UTC"};
  const std::time_t when_ = 1699977909;  // 14 November 2023, 16:05:09 UTC
};

TEST_F(LocalTimeTest, TheUsersLanguageWritesDatesAndTimesAndNumbersStayAsTheyWere) {
  if (!std::setlocale(LC_TIME, "de_DE.UTF-8"))
    GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh --test makes it)";
  std::setlocale(LC_TIME, "C");
  ScopedEnvironment language("LC_ALL", "de_DE.UTF-8");
  UseUserTimeFormat();
  EXPECT_EQ(ShortDateText(when_), "14.11.2023");
  EXPECT_EQ(LongTimeText(when_), "16:05:09");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C") << "libmpv reads its options in the C locale";
  EXPECT_EQ(Number(), "2.5");
}

TEST_F(LocalTimeTest, WithoutALanguageOrWithOneTheSystemLacksTheCLocalesWayIsKept) {
  for (const char* language : {"C", "xx_NOWHERE.UTF-8"}) {
    ScopedEnvironment chosen("LC_ALL", language);
    UseUserTimeFormat();
    EXPECT_EQ(ShortDateText(when_), "11/14/23") << language;
    EXPECT_EQ(LongTimeText(when_), "16:05:09") << language;
  }
}

}  // namespace
}  // namespace lorvane
