#include "tablestore/column_values.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>

#include "logging/log_core.h"
#include "tablestore/number_parsers.h"
#include "tablestore/text_functions.h"

namespace {

struct TypeName {
  const char* name;
  uint8_t type;
};

constexpr TypeName kTypeNames[] = {
    {"TES_SQL_NOT_SUPPORTED_TYPE", kTypeNotSupported},
    {"TES_SQL_TINYINT", kTypeTinyInt},
    {"TES_SQL_UNSIGNED_TINYINT", kTypeUnsignedTinyInt},
    {"TES_SQL_SMALLINT", kTypeSmallInt},
    {"TES_SQL_UNSIGNED_SMALLINT", kTypeUnsignedSmallInt},
    {"TES_SQL_INT", kTypeInt},
    {"INTEGER", kTypeInt},
    {"LONG", kTypeInt},
    {"TES_SQL_UNSIGNED_INT", kTypeUnsignedInt},
    {"BIGINT", kTypeBigInt},
    {"TES_SQL_UNSIGNED_LONG_INT", kTypeUnsignedLongInt},
    {"TES_SQL_FLOAT", kTypeFloat},
    {"FLOAT", kTypeFloat},
    {"TES_SQL_DOUBLE", kTypeDouble},
    {"TES_SQL_REAL", kTypeReal},
    {"TES_SQL_DECIMAL", kTypeDecimal},
    {"TES_SQL_NUMERIC", kTypeNumeric},
    {"TES_SQL_CHAR", kTypeChar},
    {"CHAR", kTypeNChar},
    {"NCHAR", kTypeNChar},
    {"TES_SQL_DATE", kTypeDate},
    {"DATE", kTypeDate},
    {"TES_SQL_TIME", kTypeTime},
    {"TIME", kTypeTime},
    {"TES_SQL_DATETIME", kTypeDateTime},
    {"DATETIME", kTypeDateTime},
    {"TIMESTAMP", kTypeDateTime},
    {"BOOLEAN", kTypeBoolean},
    {"TES_SQL_BLOB", kTypeBlob},
    {"BLOB", kTypeBlob},
    {"TES_SQL_CLOB", kTypeClob},
    {"CLOB", kTypeClob},
    {"TES_SQL_TEXT", kTypeText},
    {"TEXT", kTypeText},
};

constexpr int32_t kTextColumnMinSize = 256;

// A double held as a float: values beyond the float range become infinities.
float ToFloat(double value) {
  if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (value < std::numeric_limits<float>::lowest()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

int32_t TextWidth(const std::string& text) {
  return text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())
             ? std::numeric_limits<int32_t>::max()
             : static_cast<int32_t>(text.size());
}

// Reads a DATE ("%d-%d-%d"), TIME ("%d:%d:%d") or DATETIME (both) text; fields that cannot be read
// are 0. False when the value cannot be allocated.
bool ReadDateOrTime(std::optional<ColumnValue>& value, int32_t& width, uint8_t type, const char* text) {
  int f[6] = {0, 0, 0, 0, 0, 0};
  if (type == kTypeDate) {
    ScanDecimalFields(text, "%d-%d-%d", f, 3);
    std::unique_ptr<TesDate> date = CreateTesDate(f[0], f[1], f[2]);
    if (!date) return false;
    value = *date;
    width = kTesDateWidth;
    return true;
  }
  if (type == kTypeTime) {
    ScanDecimalFields(text, "%d:%d:%d", f + 3, 3);
    std::unique_ptr<TesTime> time = CreateTesTime(f[3], f[4], f[5]);
    if (!time) return false;
    value = *time;
    width = kTesTimeWidth;
    return true;
  }
  ScanDecimalFields(text, "%d-%d-%d %d:%d:%d", f, 6);
  std::unique_ptr<TesDateTime> dateTime = CreateTesDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
  if (!dateTime) return false;
  value = *dateTime;
  width = kTesDateTimeWidth;
  return true;
}

}  // namespace

uint8_t ColumnTypeFromName(const char* typeName, int32_t maxSize) {
  for (const TypeName& entry : kTypeNames) {
    if (CompareStringsNoCase(entry.name, typeName) == 0) {
      if ((entry.type == kTypeChar || entry.type == kTypeNChar) && maxSize >= kTextColumnMinSize)
        return kTypeText;
      return entry.type;
    }
  }
  return kTypeNotSupported;
}

std::optional<ColumnValue> ConvertStringToValue(const char* text, int32_t& width, uint8_t type) {
  if (!text) return std::nullopt;
  try {
    switch (type) {
      case kTypeNotSupported:
      case kTypeDecimal:
      case kTypeNumeric:
      case kTypeBlob:
      case kTypeClob: {
        // A copy of the given number of bytes, never reading past the text.
        const size_t length = width > 0 ? std::min(static_cast<size_t>(width), std::strlen(text)) : 0;
        return ColumnValue(std::vector<uint8_t>(text, text + length));
      }
      case kTypeTinyInt:
      case kTypeUnsignedTinyInt:
      case kTypeSmallInt:
      case kTypeUnsignedSmallInt:
      case kTypeInt:
      case kTypeUnsignedInt:
        width = 4;
        return ColumnValue(TextToInt32(text));
      case kTypeBigInt:
      case kTypeUnsignedLongInt:
        width = 8;
        return ColumnValue(TextToInt64(text));
      case kTypeFloat:
      case kTypeReal:
        width = 4;
        return ColumnValue(ToFloat(TextToDouble(text)));
      case kTypeDouble:
        width = 8;
        return ColumnValue(TextToDouble(text));
      case kTypeChar:
      case kTypeNChar:
      case kTypeText: {
        std::string copy(text);
        width = TextWidth(copy);
        return ColumnValue(std::move(copy));
      }
      case kTypeDate:
      case kTypeTime:
      case kTypeDateTime: {
        std::unique_ptr<TesDateTime> value = ConvertStringToTesDateTime(text);
        if (!value) return std::nullopt;
        width = kTesDateTimeWidth;
        return ColumnValue(*value);
      }
      case kTypeBoolean:
        if (CompareStringsNoCase(text, "TRUE") == 0) {
          width = 1;
          return ColumnValue(uint8_t{1});
        }
        if (CompareStringsNoCase(text, "FALSE") == 0) {
          width = 1;
          return ColumnValue(uint8_t{0});
        }
        return std::nullopt;
      default:
        return std::nullopt;
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool AllocateAndCopyColumnValue(std::optional<ColumnValue>& value, int32_t& width, uint8_t type,
                                const char* text) {
  if (!text) {
    LogTrace("value parameter in AllocateAndCopyColumnValue is NULL \n");
    return true;
  }
  try {
    switch (type) {
      case kTypeTinyInt:
      case kTypeUnsignedTinyInt:
      case kTypeSmallInt:
      case kTypeUnsignedSmallInt:
      case kTypeInt:
      case kTypeUnsignedInt:
        value = TextToInt32(text);
        width = 4;
        return true;
      case kTypeBigInt:
      case kTypeUnsignedLongInt:
        value = TextToInt64(text);
        width = 8;
        return true;
      case kTypeFloat:
        value = ToFloat(TextToDouble(text));
        width = 4;
        return true;
      case kTypeDouble:
        value = TextToDouble(text);
        width = 8;
        return true;
      case kTypeChar:
      case kTypeNChar:
      case kTypeText: {
        std::string copy(text);
        width = TextWidth(copy);
        value = std::move(copy);
        return true;
      }
      case kTypeDate:
      case kTypeTime:
      case kTypeDateTime:
        return ReadDateOrTime(value, width, type, text);
      case kTypeBoolean:
        value = uint8_t{CompareStringsNoCase(text, "false") == 0 ? uint8_t{0} : uint8_t{1}};
        width = 1;
        return true;
      default:
        return true;  // types that hold no value
    }
  } catch (const std::exception&) {
    return false;
  }
}
