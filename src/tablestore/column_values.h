// Column type codes and the typed values that rows hold.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "tablestore/tes_datetime.h"

enum ColumnType : uint8_t {
  kTypeNotSupported = 0,
  kTypeTinyInt = 1,
  kTypeUnsignedTinyInt = 2,
  kTypeSmallInt = 3,
  kTypeUnsignedSmallInt = 4,
  kTypeInt = 5,
  kTypeUnsignedInt = 6,
  kTypeBigInt = 7,
  kTypeUnsignedLongInt = 8,
  kTypeFloat = 9,
  kTypeDouble = 10,
  kTypeReal = 11,
  kTypeDecimal = 12,
  kTypeNumeric = 13,
  kTypeChar = 14,
  kTypeNChar = 15,
  kTypeDate = 16,
  kTypeTime = 17,
  kTypeDateTime = 18,
  kTypeBoolean = 19,
  kTypeBlob = 20,
  kTypeClob = 21,
  kTypeText = 22,
};

// A column value. Integer types 1 to 6 hold 32 bits (int32_t; 2, 4 and 6 are read unsigned), 7 and 8
// hold 64 bits, 9 a float, 10 a double, 14, 15 and 22 text, 16 to 18 the date and time values, 19 one
// byte 0 or 1. Raw bytes are the copies ConvertStringToValue makes for types it does not interpret.
using ColumnValue = std::variant<int32_t, int64_t, float, double, std::string, TesDate, TesTime, TesDateTime,
                                 uint8_t, std::vector<uint8_t>>;

// The type code of a dictionary type name (compared without regard to case); CHAR types with a
// maximum size of 256 or more are held as TEXT. Unknown names give kTypeNotSupported.
uint8_t ColumnTypeFromName(const char* typeName, int32_t maxSize);

// The general conversion of a text to the value form of a type (default values, criteria literals).
// width is read for the types that copy raw bytes and set for the others as the type demands.
std::optional<ColumnValue> ConvertStringToValue(const char* text, int32_t& width, uint8_t type);

// Converts an attribute text to the value form of type and stores it with its width. A missing text
// (logged at TRACE) and a type that holds no value store nothing; both count as success. False only
// when memory runs out.
bool AllocateAndCopyColumnValue(std::optional<ColumnValue>& value, int32_t& width, uint8_t type,
                                const char* text);

// The value as a number of type T, whatever numeric form it is held in; none for texts and others.
template <typename T>
std::optional<T> NumericValue(const ColumnValue& value) {
  return std::visit(
      [](const auto& held) -> std::optional<T> {
        using H = std::decay_t<decltype(held)>;
        if constexpr (std::is_floating_point_v<H> && std::is_integral_v<T>) {
          if (!(held == held)) return T{0};  // NaN
          if (held <= static_cast<H>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
          if (held >= static_cast<H>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
          return static_cast<T>(held);
        } else if constexpr (std::is_arithmetic_v<H>) {
          return static_cast<T>(held);
        } else {
          return std::nullopt;
        }
      },
      value);
}
