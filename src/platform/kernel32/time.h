// Wall-clock time, the time zone, and conversions between UTC and local time.
#pragma once

#include "types.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;      // 1 = January
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;
using PSYSTEMTIME = SYSTEMTIME*;

// A zone as Windows describes it: UTC = local time + Bias (+ StandardBias or DaylightBias), all in
// minutes. StandardDate and DaylightDate give the local time (on the clock in force before the
// change) at which that period begins, in the recurring form: wYear 0, wMonth, wDayOfWeek and wDay
// = the occurrence of that weekday in the month (1 to 4, 5 = the last one). wMonth 0: no daylight
// saving time. A date with a non-zero wYear is the exact date of that year.
struct TIME_ZONE_INFORMATION {
  LONG Bias;
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
using LPTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;
using PTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFF;

// The current time with milliseconds, in UTC and in the local zone (TZ is honoured).
void GetSystemTime(LPSYSTEMTIME time);
void GetLocalTime(LPSYSTEMTIME time);

// Describes the local zone with its daylight-saving rules for the current year. Returns
// TIME_ZONE_ID_STANDARD or TIME_ZONE_ID_DAYLIGHT for the period in force now, TIME_ZONE_ID_UNKNOWN
// when the zone has no daylight saving time this year, TIME_ZONE_ID_INVALID (ERROR_INVALID_PARAMETER)
// for a null record.
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info);

// Converts a UTC time to the local time of `zone` (its bias and daylight-saving rules, applied for
// the year of the time); a null `zone` means the local zone with its full history. FALSE with
// ERROR_INVALID_PARAMETER for an invalid time or record.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* universalTime,
                                     LPSYSTEMTIME localTime);

// FILETIME counts 100-nanosecond intervals since 1601-01-01 00:00:00. wDayOfWeek is ignored on input
// and set on output. FALSE with ERROR_INVALID_PARAMETER for values out of range.
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
