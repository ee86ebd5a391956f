#include "util/time_text.h"

#include <sys/time.h>

#include <cstdio>

#include "logging/log_core.h"
#include "util/encoding.h"

namespace {

char g_twoDigits[3];
char g_dateString[16];
char g_dateTimeString[64];

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string TwoDigits(unsigned number) { return FormatTwoDigits(number); }

}  // namespace

const char* FormatTwoDigits(unsigned number) {
  g_twoDigits[0] = static_cast<char>('0' + (number / 10) % 10);
  g_twoDigits[1] = static_cast<char>('0' + number % 10);
  g_twoDigits[2] = '\0';
  return g_twoDigits;
}

const char* GetMonthName(int index) { return index >= 0 && index < 12 ? kMonths[index] : ""; }

const char* FormatDateString(const std::tm& local) {
  std::string text = TwoDigits(static_cast<unsigned>(local.tm_year)) + "-" +
                     TwoDigits(static_cast<unsigned>(local.tm_mon + 1)) + "-" +
                     TwoDigits(static_cast<unsigned>(local.tm_mday));
  std::snprintf(g_dateString, sizeof g_dateString, "%s", text.c_str());
  return g_dateString;
}

std::string FormatTimeString(const std::tm& local) {
  return TwoDigits(static_cast<unsigned>(local.tm_hour)) + ":" + TwoDigits(static_cast<unsigned>(local.tm_min)) + ":" +
         TwoDigits(static_cast<unsigned>(local.tm_sec));
}

const char* FormatDateTimeString(const std::tm& local) {
  std::string text = std::string(GetMonthName(local.tm_mon)) + " " + TwoDigits(static_cast<unsigned>(local.tm_mday)) +
                     "," + std::to_string(local.tm_year + 1900) + " " +
                     TwoDigits(static_cast<unsigned>(local.tm_hour % 12)) + ":" +
                     TwoDigits(static_cast<unsigned>(local.tm_min)) + (local.tm_hour < 12 ? "AM" : "PM");
  std::snprintf(g_dateTimeString, sizeof g_dateTimeString, "%s", text.c_str());
  return g_dateTimeString;
}

const char* GetDateString() { return FormatDateString(LocalNow()); }

std::string GetTimeString() { return FormatTimeString(LocalNow()); }

const char* GetDateTimeString() { return FormatDateTimeString(LocalNow()); }

int64_t SystemTimeToUnixSeconds(const SYSTEMTIME& time) {
  std::tm fields{};
  fields.tm_year = time.wYear - 1900;
  fields.tm_mon = time.wMonth - 1;
  fields.tm_mday = time.wDay;
  fields.tm_hour = time.wHour;
  fields.tm_min = time.wMinute;
  fields.tm_sec = time.wSecond;
  return static_cast<int64_t>(timegm(&fields));
}

int32_t GetTimeInSeconds(const SYSTEMTIME& time) {
  int64_t seconds = SystemTimeToUnixSeconds(time);
  tzset();
  std::string text = std::to_string(seconds + timezone);
  int32_t result = static_cast<int32_t>(std::strtoll(text.c_str(), nullptr, 10));
  LogDebug("GetTimeInSeconds : retDate :: %s\n", text.c_str());
  LogInfo("GetTimeInSeconds : Time in Second : %d\n", result);
  return result;
}

int32_t GetCurrentTimeInSeconds() {
  TIME_ZONE_INFORMATION zone{};
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT) zone.Bias -= zone.DaylightBias;
  SYSTEMTIME utc{};
  SYSTEMTIME localStandard{};
  GetSystemTime(&utc);
  SystemTimeToTzSpecificLocalTime(&zone, &utc, &localStandard);
  return GetTimeInSeconds(localStandard);
}

std::u16string GetCurrentTimeMillisString() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  int64_t seconds = SystemTimeToUnixSeconds(utc);
  timeval now{};
  gettimeofday(&now, nullptr);
  int64_t value = seconds * 1000 + now.tv_usec / 1000;
  std::u16string text;
  ChangeToWideStr(std::to_string(value).c_str(), text);
  std::fputs(qvplatform::Format("\nTime = %ws", text.c_str()).c_str(), stdout);
  return text;
}
