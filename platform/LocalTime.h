#pragma once
// Dates and times of files written the user's way.
#include <ctime>
#include <string>

namespace lorvane {

// Takes the user's way of writing dates and times (LC_TIME) from the environment. Only that part
// of the locale changes: numbers stay in the C locale, which libmpv needs to read its options.
// Called once at start-up, before other threads run.
void UseUserTimeFormat();

// In local time: the user's short date ("14.11.2023" in German, "11/14/23" in the C locale) and
// the time of day with seconds ("16:05:09", "04:05:09 PM").
std::string ShortDateText(std::time_t when);
std::string LongTimeText(std::time_t when);

}  // namespace lorvane
