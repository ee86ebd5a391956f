#include <gtest/gtest.h>

#include <ctime>

#include "support/temp_dir.h"
#include "util/time_text.h"

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(TimeText, TwoDigitsAndMonthNames) {
  EXPECT_STREQ(FormatTwoDigits(7), "07");
  EXPECT_STREQ(FormatTwoDigits(124), "24");
  EXPECT_STREQ(FormatTwoDigits(2024), "24");
  EXPECT_STREQ(GetMonthName(0), "Jan");
  EXPECT_STREQ(GetMonthName(11), "Dec");
}

TEST(TimeText, DateAndTimeTexts) {
  EXPECT_STREQ(FormatDateString(At(2024, 3, 5, 9, 5, 3)), "24-03-05");
  EXPECT_EQ(FormatTimeString(At(2024, 3, 5, 9, 5, 3)), "09:05:03");
  struct Case {
    int hour, minute;
    const char* text;
  };
  const Case cases[] = {{0, 30, "Mar 05,2024 00:30AM"},
                        {12, 30, "Mar 05,2024 00:30PM"},
                        {15, 7, "Mar 05,2024 03:07PM"},
                        {11, 59, "Mar 05,2024 11:59AM"}};
  for (const auto& c : cases) EXPECT_STREQ(FormatDateTimeString(At(2024, 3, 5, c.hour, c.minute, 0)), c.text);
}

TEST(TimeText, UnixSeconds) {
  SYSTEMTIME t{};
  t.wYear = 2024;
  t.wMonth = 3;
  t.wDay = 5;
  t.wHour = 12;
  EXPECT_EQ(SystemTimeToUnixSeconds(t), 1709640000);
  t.wYear = 1970;
  t.wMonth = 1;
  t.wDay = 1;
  t.wHour = 0;
  EXPECT_EQ(SystemTimeToUnixSeconds(t), 0);
}

TEST(TimeText, CurrentSecondsAreUtcInEveryZone) {
  for (const char* zone : {"UTC", "EST5EDT,M3.2.0,M11.1.0", "CET-1CEST,M3.5.0,M10.5.0/3", "IST-5:30", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
    qvtest::ScopedEnv tz("TZ", zone);
    tzset();
    int64_t expected = std::time(nullptr);
    int64_t got = GetCurrentTimeInSeconds();
    EXPECT_LE(std::abs(got - expected), 2) << zone;
  }
  tzset();
}

TEST(TimeText, MillisecondText) {
  int64_t before = static_cast<int64_t>(std::time(nullptr)) * 1000;
  std::u16string text = GetCurrentTimeMillisString();
  std::string narrow(text.begin(), text.end());
  int64_t value = std::stoll(narrow);
  EXPECT_GE(value, before);
  EXPECT_LE(value, before + 3000);
}

}  // namespace
