#include "kernel32/time.h"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "kernel32/errors.h"

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsPerDay = 86400;

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

SYSTEMTIME FromTm(const tm& t, int milliseconds) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.tm_year + 1900);
  st.wMonth = static_cast<WORD>(t.tm_mon + 1);
  st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  st.wDay = static_cast<WORD>(t.tm_mday);
  st.wHour = static_cast<WORD>(t.tm_hour);
  st.wMinute = static_cast<WORD>(t.tm_min);
  st.wSecond = static_cast<WORD>(t.tm_sec);
  st.wMilliseconds = static_cast<WORD>(milliseconds);
  return st;
}

// A calendar time read as UTC (no zone applied).
SYSTEMTIME UtcFields(int64_t seconds, int milliseconds) {
  time_t t = static_cast<time_t>(seconds);
  tm fields{};
  gmtime_r(&t, &fields);
  return FromTm(fields, milliseconds);
}

int64_t FieldsToSeconds(int year, int month, int day, int hour, int minute, int second) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return static_cast<int64_t>(timegm(&fields));
}

bool IsValid(const SYSTEMTIME& st) {
  return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
         st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 &&
         st.wMilliseconds < 1000;
}

int64_t ToSeconds(const SYSTEMTIME& st) {
  return FieldsToSeconds(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

int Weekday(int year, int month, int day) {
  int64_t days = FieldsToSeconds(year, month, day, 0, 0, 0) / kSecondsPerDay;  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 11) % 7);
}

long UtcOffsetAt(int64_t seconds) {
  time_t t = static_cast<time_t>(seconds);
  tm fields{};
  localtime_r(&t, &fields);
  return fields.tm_gmtoff;
}

struct Transition {
  int64_t at;  // first second under the new offset
  long before;
  long after;
};

// The local zone's offset changes whose local time (before the change) falls in `year`.
std::vector<Transition> TransitionsInYear(int year) {
  std::vector<Transition> found;
  const int64_t first = FieldsToSeconds(year, 1, 1, 0, 0, 0) - kSecondsPerDay;
  const int64_t last = FieldsToSeconds(year + 1, 1, 1, 0, 0, 0) + kSecondsPerDay;
  int64_t previous = first;
  long previousOffset = UtcOffsetAt(first);
  for (int64_t next = first + kSecondsPerDay / 4; next <= last; next += kSecondsPerDay / 4) {
    long offset = UtcOffsetAt(next);
    if (offset != previousOffset) {
      int64_t low = previous, high = next;  // offset(low) == previousOffset, offset(high) differs
      while (high - low > 1) {
        int64_t middle = low + (high - low) / 2;
        (UtcOffsetAt(middle) == previousOffset ? low : high) = middle;
      }
      if (UtcFields(high + previousOffset, 0).wYear == year) found.push_back({high, previousOffset, offset});
    }
    previous = next;
    previousOffset = offset;
  }
  return found;
}

// The recurring form of the local time at which a transition happens.
SYSTEMTIME RecurringDate(const Transition& transition) {
  SYSTEMTIME st = UtcFields(transition.at + transition.before, 0);
  const bool lastInMonth = st.wDay + 7 > DaysInMonth(st.wYear, st.wMonth);
  st.wDay = lastInMonth ? 5 : static_cast<WORD>((st.wDay - 1) / 7 + 1);
  st.wYear = 0;
  return st;
}

void CopyName(WCHAR (&target)[32], const char* name) {
  std::memset(target, 0, sizeof target);
  std::string_view text = name == nullptr ? std::string_view() : std::string_view(name);
  // Zone abbreviations are ASCII.
  for (size_t i = 0; i < text.size() && i < 31; ++i) target[i] = static_cast<unsigned char>(text[i]);
}

bool IsValidRule(const SYSTEMTIME& rule) {
  if (rule.wMonth < 1 || rule.wMonth > 12 || rule.wHour >= 24 || rule.wMinute >= 60 || rule.wSecond >= 60 ||
      rule.wMilliseconds >= 1000) {
    return false;
  }
  if (rule.wYear != 0) return rule.wDay >= 1 && rule.wDay <= DaysInMonth(rule.wYear, rule.wMonth);
  return rule.wDayOfWeek <= 6 && rule.wDay >= 1 && rule.wDay <= 5;
}

// The local clock time at which `rule` takes effect in `year`, as seconds on a UTC-like scale.
int64_t RuleTimeInYear(const SYSTEMTIME& rule, int year) {
  int day = rule.wDay;
  if (rule.wYear == 0) {
    const int firstWeekday = Weekday(year, rule.wMonth, 1);
    day = 1 + (rule.wDayOfWeek - firstWeekday + 7) % 7 + (rule.wDay - 1) * 7;
    while (day > DaysInMonth(year, rule.wMonth)) day -= 7;
  }
  return FieldsToSeconds(year, rule.wMonth, day, rule.wHour, rule.wMinute, rule.wSecond);
}

// Minutes to add to local time to get UTC, at the UTC time `utc`, under the zone's rules.
LONG BiasAt(const TIME_ZONE_INFORMATION& zone, int64_t utc) {
  if (zone.DaylightDate.wMonth == 0 || zone.StandardDate.wMonth == 0) return zone.Bias + zone.StandardBias;
  const int year = UtcFields(utc, 0).wYear;
  const int64_t daylightStarts =
      RuleTimeInYear(zone.DaylightDate, year) + (zone.Bias + zone.StandardBias) * 60LL;
  const int64_t daylightEnds =
      RuleTimeInYear(zone.StandardDate, year) + (zone.Bias + zone.DaylightBias) * 60LL;
  const bool daylight = daylightStarts < daylightEnds ? utc >= daylightStarts && utc < daylightEnds
                                                      : utc >= daylightStarts || utc < daylightEnds;
  return zone.Bias + (daylight ? zone.DaylightBias : zone.StandardBias);
}

}  // namespace

void GetSystemTime(LPSYSTEMTIME time) {
  if (time == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  *time = UtcFields(now.tv_sec, static_cast<int>(now.tv_nsec / 1000000));
}

void GetLocalTime(LPSYSTEMTIME time) {
  if (time == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tzset();
  tm fields{};
  localtime_r(&now.tv_sec, &fields);
  *time = FromTm(fields, static_cast<int>(now.tv_nsec / 1000000));
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  tzset();
  const int64_t now = static_cast<int64_t>(::time(nullptr));
  const long nowOffset = UtcOffsetAt(now);
  std::memset(info, 0, sizeof *info);
  CopyName(info->StandardName, tzname[0]);
  CopyName(info->DaylightName, tzname[1]);

  // Daylight saving time is a pair of changes this year between the same two offsets: one up, one
  // down. The lower offset is standard time, whatever the zone database calls it.
  const auto transitions = TransitionsInYear(UtcFields(now + nowOffset, 0).wYear);
  const Transition* up = nullptr;
  const Transition* down = nullptr;
  for (const auto& candidate : transitions) {
    if (up != nullptr || candidate.after <= candidate.before) continue;
    for (const auto& other : transitions) {
      if (other.before == candidate.after && other.after == candidate.before) {
        up = &candidate;
        down = &other;
        break;
      }
    }
  }
  if (up == nullptr) {
    info->Bias = static_cast<LONG>(-nowOffset / 60);
    return TIME_ZONE_ID_UNKNOWN;
  }
  info->Bias = static_cast<LONG>(-up->before / 60);
  info->StandardBias = 0;
  info->DaylightBias = static_cast<LONG>(-(up->after - up->before) / 60);
  info->DaylightDate = RecurringDate(*up);
  info->StandardDate = RecurringDate(*down);
  return nowOffset == up->after ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* universalTime,
                                     LPSYSTEMTIME localTime) {
  if (universalTime == nullptr || localTime == nullptr || !IsValid(*universalTime) ||
      (zone != nullptr && zone->DaylightDate.wMonth != 0 && zone->StandardDate.wMonth != 0 &&
       (!IsValidRule(zone->DaylightDate) || !IsValidRule(zone->StandardDate)))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int64_t utc = ToSeconds(*universalTime);
  if (zone == nullptr) {
    tzset();
    time_t t = static_cast<time_t>(utc);
    tm fields{};
    localtime_r(&t, &fields);
    *localTime = FromTm(fields, universalTime->wMilliseconds);
    return TRUE;
  }
  const SYSTEMTIME local = UtcFields(utc - BiasAt(*zone, utc) * 60LL, universalTime->wMilliseconds);
  if (!IsValid(local)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *localTime = local;
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
  if (systemTime == nullptr || fileTime == nullptr || !IsValid(*systemTime)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uint64_t ticks =
      static_cast<uint64_t>(ToSeconds(*systemTime) + kSecondsFrom1601To1970) * kTicksPerSecond +
      systemTime->wMilliseconds * 10000ULL;
  fileTime->dwLowDateTime = static_cast<DWORD>(ticks);
  fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
  if (fileTime == nullptr || systemTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uint64_t ticks = (static_cast<uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
  if (ticks > 0x7FFFFFFFFFFFFFFFULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int64_t seconds = static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  *systemTime = UtcFields(seconds, static_cast<int>((ticks % kTicksPerSecond) / 10000));
  return TRUE;
}
