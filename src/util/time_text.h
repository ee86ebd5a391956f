// Date and time texts of the log files, and seconds and milliseconds since 1970.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "win32.h"

// Shared buffers: each call overwrites the previous result of the same function.
const char* FormatTwoDigits(unsigned number);
const char* GetDateString();      // "yy-mm-dd" of the local date
const char* GetDateTimeString();  // "Mon dd,yyyy hh:mmAM" of the local time
const char* GetMonthName(int index);
std::string GetTimeString();  // "hh:mm:ss" of the local time, 24-hour clock

// The same texts for a given broken-down local time.
const char* FormatDateString(const std::tm& local);
const char* FormatDateTimeString(const std::tm& local);
std::string FormatTimeString(const std::tm& local);

// Seconds from 1970-01-01 00:00:00 to the given time, both read in the same zone.
int64_t SystemTimeToUnixSeconds(const SYSTEMTIME& time);
// SystemTimeToUnixSeconds plus the C library's time-zone offset (seconds west of UTC).
int32_t GetTimeInSeconds(const SYSTEMTIME& time);
// The current UTC time in seconds since 1970.
int32_t GetCurrentTimeInSeconds();
// The current UTC time in milliseconds since 1970, in decimal (also written to standard output).
std::u16string GetCurrentTimeMillisString();
