// The framework's date and time values. The store records 4, 3 and 11 bytes as the widths of DATE,
// TIME and DATETIME values, whatever their layout in memory.
#pragma once

#include <cstdint>
#include <memory>

struct TesDate {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  bool operator==(const TesDate&) const = default;
};

struct TesTime {
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  bool operator==(const TesTime&) const = default;
};

// A date and a time; both parts are always present (held by value) and the three further fields are 0.
struct TesDateTime {
  TesDate date;
  TesTime time;
  uint8_t extra[3] = {0, 0, 0};
  bool operator==(const TesDateTime&) const = default;
};

inline constexpr int32_t kTesDateWidth = 4;
inline constexpr int32_t kTesTimeWidth = 3;
inline constexpr int32_t kTesDateTimeWidth = 11;

// New values with the fields stored as given (no range checks); none after logging
// "TesDate creation failed" / "TesTime creation failed" / "TesDateTime creation failed" at ERROR
// when memory runs out.
std::unique_ptr<TesDate> CreateTesDate(int year, int month, int day);
std::unique_ptr<TesTime> CreateTesTime(int hour, int minute, int second);
std::unique_ptr<TesDateTime> CreateTesDateTime(int year, int month, int day, int hour, int minute,
                                               int second);

// Reads "%d-%d-%d %d:%d:%d" when the text holds both "-" and ":", "%d-%d-%d" when it holds only "-"
// (time 00:00:00), "%d:%d:%d" when it holds only ":" (date fields 0). Fields that cannot be read stay
// 0. None for a missing text (logged) or a text with neither separator.
std::unique_ptr<TesDateTime> ConvertStringToTesDateTime(const char* text);

// The fields of text read with a scanf-style pattern made of "%d", blanks (any run of white space,
// also none) and literal characters; reading stops at the first mismatch. Returns the number of
// fields read; unread fields are left as they are. Values outside 32 bits wrap.
int ScanDecimalFields(const char* text, const char* pattern, int* fields, int maxFields);
