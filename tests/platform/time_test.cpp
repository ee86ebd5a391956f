#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

// Sets TZ for the scope and makes the C library read it.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) : env_("TZ", zone) { tzset(); }
  ~ScopedZone() { tzset(); }

 private:
  qvtest::ScopedEnv env_;
};

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms = 0) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = hour;
  st.wMinute = minute;
  st.wSecond = second;
  st.wMilliseconds = ms;
  return st;
}

SYSTEMTIME Rule(WORD month, WORD dayOfWeek, WORD occurrence, WORD hour) {
  SYSTEMTIME st{};
  st.wMonth = month;
  st.wDayOfWeek = dayOfWeek;
  st.wDay = occurrence;
  st.wHour = hour;
  return st;
}

TIME_ZONE_INFORMATION Zone(LONG bias, LONG daylightBias, SYSTEMTIME daylightDate, SYSTEMTIME standardDate) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = bias;
  zone.DaylightBias = daylightBias;
  zone.DaylightDate = daylightDate;
  zone.StandardDate = standardDate;
  return zone;
}

std::string Text(const SYSTEMTIME& st) {
  char text[64];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", st.wYear, st.wMonth, st.wDay,
           st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return text;
}

std::string RuleText(const SYSTEMTIME& st) {
  char text[64];
  snprintf(text, sizeof text, "y%u m%u dow%u n%u %02u:%02u", st.wYear, st.wMonth, st.wDayOfWeek, st.wDay,
           st.wHour, st.wMinute);
  return text;
}

int64_t Ticks(const SYSTEMTIME& st) {
  FILETIME ft{};
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft)) << Text(st);
  return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

TEST(TimeZone, DescribesTheZoneOfTz) {
  struct Case {
    const char* zone;
    LONG bias;
    LONG daylightBias;
    SYSTEMTIME daylightDate;
    SYSTEMTIME standardDate;
  };
  const SYSTEMTIME none{};
  const Case cases[] = {
      {"UTC", 0, 0, none, none},
      {"<+0530>-5:30", -330, 0, none, none},
      {"<-03>3", 180, 0, none, none},
      {"EST5EDT,M3.2.0,M11.1.0", 300, -60, Rule(3, 0, 2, 2), Rule(11, 0, 1, 2)},
      {"America/New_York", 300, -60, Rule(3, 0, 2, 2), Rule(11, 0, 1, 2)},
      {"Europe/Berlin", -60, -60, Rule(3, 0, 5, 2), Rule(10, 0, 5, 3)},
      {"Australia/Sydney", -600, -60, Rule(10, 0, 1, 2), Rule(4, 0, 1, 3)},
      // The zone database calls Irish winter time the daylight period; standard time is the lower offset.
      {"Europe/Dublin", 0, -60, Rule(3, 0, 5, 1), Rule(10, 0, 5, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zone);
    ScopedZone zone(c.zone);
    TIME_ZONE_INFORMATION info;
    const DWORD result = GetTimeZoneInformation(&info);
    EXPECT_EQ(info.Bias, c.bias);
    EXPECT_EQ(info.StandardBias, 0);
    EXPECT_EQ(info.DaylightBias, c.daylightBias);
    EXPECT_EQ(RuleText(info.DaylightDate), RuleText(c.daylightDate));
    EXPECT_EQ(RuleText(info.StandardDate), RuleText(c.standardDate));
    if (c.daylightBias == 0) {
      EXPECT_EQ(result, TIME_ZONE_ID_UNKNOWN);
    } else {
      // Daylight now exactly when the current offset is the higher one.
      const time_t now = time(nullptr);
      tm local{};
      localtime_r(&now, &local);
      const bool daylight = -local.tm_gmtoff / 60 == c.bias + c.daylightBias;
      EXPECT_EQ(result, daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD);
    }
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetTimeZoneInformation(nullptr), TIME_ZONE_ID_INVALID);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(TimeZone, ConvertsWithTheRulesOfARecord) {
  const TIME_ZONE_INFORMATION newYork = Zone(300, -60, Rule(3, 0, 2, 2), Rule(11, 0, 1, 2));
  const TIME_ZONE_INFORMATION sydney = Zone(-600, -60, Rule(10, 0, 1, 2), Rule(4, 0, 1, 3));
  const TIME_ZONE_INFORMATION fixed = Zone(-330, 0, SYSTEMTIME{}, SYSTEMTIME{});
  // The record a caller builds for local standard time all year: the daylight bias folded into Bias.
  TIME_ZONE_INFORMATION newYorkStandard = newYork;
  newYorkStandard.Bias -= newYork.DaylightBias;

  struct Case {
    const char* name;
    const TIME_ZONE_INFORMATION* zone;
    SYSTEMTIME utc;
    SYSTEMTIME local;
  };
  const Case cases[] = {
      {"new york winter", &newYork, Time(2024, 1, 15, 12, 0, 0, 250), Time(2024, 1, 15, 7, 0, 0, 250)},
      {"new york summer", &newYork, Time(2024, 7, 1, 12, 0, 0), Time(2024, 7, 1, 8, 0, 0)},
      {"last second of EST", &newYork, Time(2024, 3, 10, 6, 59, 59), Time(2024, 3, 10, 1, 59, 59)},
      {"first second of EDT", &newYork, Time(2024, 3, 10, 7, 0, 0), Time(2024, 3, 10, 3, 0, 0)},
      {"last second of EDT", &newYork, Time(2024, 11, 3, 5, 59, 59), Time(2024, 11, 3, 1, 59, 59)},
      {"first second back in EST", &newYork, Time(2024, 11, 3, 6, 0, 0), Time(2024, 11, 3, 1, 0, 0)},
      {"rules of the record in an old year", &newYork, Time(2006, 4, 1, 12, 0, 0), Time(2006, 4, 1, 8, 0, 0)},
      {"across midnight", &newYork, Time(2024, 1, 1, 3, 0, 0), Time(2023, 12, 31, 22, 0, 0)},
      {"sydney summer", &sydney, Time(2024, 1, 15, 0, 0, 0), Time(2024, 1, 15, 11, 0, 0)},
      {"sydney winter", &sydney, Time(2024, 7, 1, 0, 0, 0), Time(2024, 7, 1, 10, 0, 0)},
      {"fixed offset", &fixed, Time(2024, 7, 1, 20, 0, 0), Time(2024, 7, 2, 1, 30, 0)},
      {"standard all year, summer", &newYorkStandard, Time(2024, 7, 1, 12, 0, 0), Time(2024, 7, 1, 7, 0, 0)},
      {"standard all year, winter", &newYorkStandard, Time(2024, 1, 15, 12, 0, 0),
       Time(2024, 1, 15, 6, 0, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(c.zone, &c.utc, &local));
    SYSTEMTIME expected = c.local;
    expected.wDayOfWeek = local.wDayOfWeek;
    EXPECT_EQ(Text(local), Text(expected));
  }
}

TEST(TimeZone, NullRecordUsesTheLocalZoneWithItsHistory) {
  ScopedZone zone("America/New_York");
  struct Case {
    SYSTEMTIME utc;
    SYSTEMTIME local;
  };
  const Case cases[] = {
      {Time(2024, 7, 1, 12, 0, 0, 5), Time(2024, 7, 1, 8, 0, 0, 5)},
      {Time(2024, 1, 15, 12, 0, 0), Time(2024, 1, 15, 7, 0, 0)},
      {Time(2006, 4, 1, 12, 0, 0), Time(2006, 4, 1, 7, 0, 0)},  // daylight time began on 2 April in 2006
  };
  for (const auto& c : cases) {
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &c.utc, &local));
    SYSTEMTIME expected = c.local;
    expected.wDayOfWeek = local.wDayOfWeek;
    EXPECT_EQ(Text(local), Text(expected)) << Text(c.utc);
  }
}

TEST(TimeZone, RejectsInvalidInput) {
  TIME_ZONE_INFORMATION badRule{};
  badRule.DaylightDate = Rule(13, 0, 1, 2);
  badRule.StandardDate = Rule(11, 0, 1, 2);
  const SYSTEMTIME good = Time(2024, 1, 1, 0, 0, 0);
  const SYSTEMTIME badDay = Time(2023, 2, 29, 0, 0, 0);
  SYSTEMTIME out{};
  struct Case {
    const TIME_ZONE_INFORMATION* zone;
    const SYSTEMTIME* utc;
    SYSTEMTIME* local;
  };
  const Case cases[] = {
      {nullptr, &badDay, &out}, {&badRule, &good, &out}, {nullptr, nullptr, &out}, {nullptr, &good, nullptr}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(cases[i].zone, cases[i].utc, cases[i].local)) << "row " << i;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "row " << i;
  }
}

// The computation of the current UTC seconds that the agent makes: local standard time from the zone
// record, plus the C library's standard offset.
TEST(TimeZone, LocalStandardTimeFromTheCurrentRecord) {
  for (const char* name : {"UTC", "America/New_York", "Europe/Berlin", "Australia/Sydney", "<+0530>-5:30"}) {
    SCOPED_TRACE(name);
    ScopedZone zone(name);
    TIME_ZONE_INFORMATION info;
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_DAYLIGHT) info.Bias -= info.DaylightBias;
    SYSTEMTIME utc, standard;
    GetSystemTime(&utc);
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&info, &utc, &standard));
    EXPECT_EQ((Ticks(standard) - Ticks(utc)) / 600000000, -timezone / 60);
  }
}

TEST(Clock, LocalAndSystemTimeAgree) {
  ScopedZone zone("<+0530>-5:30");
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  const int64_t differenceSeconds = (Ticks(local) - Ticks(utc)) / 10000000;
  EXPECT_GE(differenceSeconds, 330 * 60 - 1);
  EXPECT_LE(differenceSeconds, 330 * 60 + 1);
  for (const SYSTEMTIME& st : {utc, local}) {
    FILETIME ft{};
    SYSTEMTIME back{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(Text(back), Text(st));  // includes the weekday and the milliseconds
  }
  const int64_t now = static_cast<int64_t>(time(nullptr));
  EXPECT_LE(std::llabs(Ticks(utc) / 10000000 - 11644473600 - now), 1);
}

TEST(FileTime, ConvertsBothWays) {
  struct Case {
    SYSTEMTIME time;
    uint64_t ticks;
    WORD dayOfWeek;
  };
  const Case cases[] = {
      {Time(1601, 1, 1, 0, 0, 0), 0, 1},
      {Time(1970, 1, 1, 0, 0, 0), 116444736000000000ULL, 4},
      {Time(2024, 2, 29, 12, 34, 56, 789), 133536836967890000ULL, 4},
      {Time(2000, 12, 31, 23, 59, 59, 999), 126227807999990000ULL, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Text(c.time));
    EXPECT_EQ(static_cast<uint64_t>(Ticks(c.time)), c.ticks);
    FILETIME ft{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    SYSTEMTIME expected = c.time;
    expected.wDayOfWeek = c.dayOfWeek;
    EXPECT_EQ(Text(back), Text(expected));
  }
  for (const SYSTEMTIME& bad :
       {Time(2023, 2, 29, 0, 0, 0), Time(2024, 13, 1, 0, 0, 0), Time(2024, 1, 1, 24, 0, 0),
        Time(1600, 12, 31, 0, 0, 0), Time(2024, 1, 1, 0, 0, 0, 1000)}) {
    FILETIME ft{};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft)) << Text(bad);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  FILETIME tooLarge{0, 0x80000000};
  SYSTEMTIME out{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
