#include "tablestore/tes_datetime.h"

#include <cctype>
#include <cstring>
#include <new>

#include "logging/log_core.h"

namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void SetDate(TesDate& date, int year, int month, int day) {
  date.year = static_cast<uint16_t>(year);
  date.month = static_cast<uint8_t>(month);
  date.day = static_cast<uint8_t>(day);
}

void SetTime(TesTime& time, int hour, int minute, int second) {
  time.hour = static_cast<uint8_t>(hour);
  time.minute = static_cast<uint8_t>(minute);
  time.second = static_cast<uint8_t>(second);
}

}  // namespace

int ScanDecimalFields(const char* text, const char* pattern, int* fields, int maxFields) {
  int read = 0;
  const char* t = text;
  for (const char* p = pattern; *p; ++p) {
    if (IsSpace(*p)) {
      while (IsSpace(*t)) ++t;
    } else if (p[0] == '%' && p[1] == 'd') {
      ++p;
      while (IsSpace(*t)) ++t;
      const char* digits = t;
      bool negative = false;
      if (*digits == '+' || *digits == '-') negative = *digits++ == '-';
      if (!IsDigit(*digits) || read >= maxFields) return read;
      uint32_t value = 0;
      for (; IsDigit(*digits); ++digits) value = value * 10u + static_cast<uint32_t>(*digits - '0');
      fields[read++] = static_cast<int>(negative ? 0u - value : value);
      t = digits;
    } else {
      if (*t != *p) return read;
      ++t;
    }
  }
  return read;
}

std::unique_ptr<TesDate> CreateTesDate(int year, int month, int day) {
  std::unique_ptr<TesDate> date(new (std::nothrow) TesDate);
  if (!date) {
    LogError("TesDate creation failed");
    return nullptr;
  }
  SetDate(*date, year, month, day);
  return date;
}

std::unique_ptr<TesTime> CreateTesTime(int hour, int minute, int second) {
  std::unique_ptr<TesTime> time(new (std::nothrow) TesTime);
  if (!time) {
    LogError("TesTime creation failed");
    return nullptr;
  }
  SetTime(*time, hour, minute, second);
  return time;
}

std::unique_ptr<TesDateTime> CreateTesDateTime(int year, int month, int day, int hour, int minute,
                                               int second) {
  std::unique_ptr<TesDateTime> value(new (std::nothrow) TesDateTime);
  if (!value) {
    LogError("TesDateTime creation failed");
    return nullptr;
  }
  SetDate(value->date, year, month, day);
  SetTime(value->time, hour, minute, second);
  return value;
}

std::unique_ptr<TesDateTime> ConvertStringToTesDateTime(const char* text) {
  LogTrace("Inside ConvertStringToTesDateTime \n");
  if (!text) {
    LogError("datetimeStr NULL \n");
    return nullptr;
  }
  const bool hasDash = std::strchr(text, '-') != nullptr;
  const bool hasColon = std::strchr(text, ':') != nullptr;
  int f[6] = {0, 0, 0, 0, 0, 0};
  if (hasDash && hasColon) {
    ScanDecimalFields(text, "%d-%d-%d %d:%d:%d", f, 6);
  } else if (hasDash) {
    ScanDecimalFields(text, "%d-%d-%d", f, 3);
  } else if (hasColon) {
    ScanDecimalFields(text, "%d:%d:%d", f + 3, 3);
  } else {
    return nullptr;
  }
  return CreateTesDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
}
