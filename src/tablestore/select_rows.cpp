// SelectRows: preparing a criteria text into a condition tree bound to the table's columns, and
// evaluating it for every row.
#include <exception>
#include <string>

#include "logging/log_core.h"
#include "tablestore/result_data.h"
#include "tablestore/text_functions.h"

namespace {

const char kCriteriaLock = 0;

// Holds a lock-list entry for the life of the object.
class ScopedLock {
 public:
  explicit ScopedLock(const void* key) : key_(key) { LockObject(key_); }
  ~ScopedLock() { UnlockObject(key_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  const void* key_;
};

// The result of an ordering comparison (negative, 0, positive) read through a comparison operator.
bool OrderSatisfies(int order, uint8_t op) {
  switch (op) {
    case kCriteriaLess:
      return order < 0;
    case kCriteriaGreater:
      return order > 0;
    case kCriteriaLessEqual:
      return order <= 0;
    case kCriteriaGreaterEqual:
      return order >= 0;
    case kCriteriaEqual:
      return order == 0;
    case kCriteriaNotEqual:
      return order != 0;
    default:
      return false;
  }
}

// Direct comparison, so that a NaN compares false except with "!=".
template <typename T>
bool Satisfies(T row, T literal, uint8_t op) {
  switch (op) {
    case kCriteriaLess:
      return row < literal;
    case kCriteriaGreater:
      return row > literal;
    case kCriteriaLessEqual:
      return row <= literal;
    case kCriteriaGreaterEqual:
      return row >= literal;
    case kCriteriaEqual:
      return row == literal;
    case kCriteriaNotEqual:
      return row != literal;
    default:
      return false;
  }
}

// A row without a value counts as smaller than any literal, for every comparable type.
constexpr int kMissingOrder = -1;

template <typename T>
bool CompareNumbers(const std::optional<ColumnValue>& rowValue, const std::optional<ColumnValue>& literal,
                    uint8_t op) {
  const std::optional<T> right = literal ? NumericValue<T>(*literal) : std::nullopt;
  if (!right) return false;
  const std::optional<T> left = rowValue ? NumericValue<T>(*rowValue) : std::nullopt;
  if (!left) return OrderSatisfies(kMissingOrder, op);
  return Satisfies(*left, *right, op);
}

bool CompareTexts(const std::optional<ColumnValue>& rowValue, const std::optional<ColumnValue>& literal,
                  uint8_t op) {
  const std::string* quoted = literal ? std::get_if<std::string>(&*literal) : nullptr;
  if (!quoted) return false;
  // The literal's first and last characters are its quotes.
  const std::string text = quoted->size() >= 2 ? quoted->substr(1, quoted->size() - 2) : std::string();
  const std::string* held = rowValue ? std::get_if<std::string>(&*rowValue) : nullptr;
  return OrderSatisfies(CompareStrings(held ? held->c_str() : nullptr, text.c_str()), op);
}

bool EvaluateComparison(const CriteriaNode& node, const RowObject& row) {
  int32_t width = static_cast<int32_t>(node.literal.size());
  const std::optional<ColumnValue> literal =
      ConvertStringToValue(node.literal.c_str(), width, node.columnType);
  static const std::optional<ColumnValue> kNoValue;
  const std::optional<ColumnValue>& rowValue =
      node.columnIndex >= 0 && static_cast<size_t>(node.columnIndex) < row.values.size()
          ? row.values[static_cast<size_t>(node.columnIndex)]
          : kNoValue;
  switch (node.columnType) {
    case kTypeTinyInt:
    case kTypeSmallInt:
    case kTypeInt:
      return CompareNumbers<int32_t>(rowValue, literal, node.op);
    case kTypeUnsignedTinyInt:
    case kTypeUnsignedSmallInt:
    case kTypeUnsignedInt:
      return CompareNumbers<uint32_t>(rowValue, literal, node.op);
    case kTypeBigInt:
      return CompareNumbers<int64_t>(rowValue, literal, node.op);
    case kTypeFloat:
      return CompareNumbers<float>(rowValue, literal, node.op);
    case kTypeChar:
    case kTypeNChar:
    case kTypeText:
      return CompareTexts(rowValue, literal, node.op);
    default:
      return false;
  }
}

// Records, for every comparison, the position and type of the first column named like it.
void BindColumns(CriteriaNode& node, const TableDefinition& definition) {
  if (node.op == kCriteriaAnd || node.op == kCriteriaOr) {
    BindColumns(*node.left, definition);
    BindColumns(*node.right, definition);
    return;
  }
  for (size_t i = 0; i < definition.columns.size(); ++i) {
    if (CompareStringsNoCase(definition.columns[i].name.c_str(), node.columnName.c_str()) == 0) {
      node.columnIndex = static_cast<int32_t>(i);
      node.columnType = definition.columns[i].type;
      return;
    }
  }
}

// Parses the criteria (one expression per line, the last one counts) and binds it to the table.
std::unique_ptr<CriteriaNode> PrepareCriteria(const char* criteria, const TableData& table) {
  std::string input(criteria);
  input += '\n';
  CriteriaParseResult parsed = ParseCriteria(input);
  if (parsed.status != CriteriaParseStatus::Ok) return nullptr;
  if (table.kind != kTableKindTable || !table.definition || table.definition->columns.empty()) return nullptr;
  BindColumns(*parsed.tree, *table.definition);
  return std::move(parsed.tree);
}

}  // namespace

const void* const gv_criteriaLockKey = &kCriteriaLock;

bool EvaluateCriteria(const CriteriaNode& node, const RowObject& row) {
  if (node.op == kCriteriaAnd || node.op == kCriteriaOr) {
    const bool left = EvaluateCriteria(*node.left, row);
    const bool right = EvaluateCriteria(*node.right, row);
    return node.op == kCriteriaAnd ? (left && right) : (left || right);
  }
  return EvaluateComparison(node, row);
}

std::unique_ptr<ResultData> SelectRows(const char* tableName, const char* criteria) {
  LogTrace("@@@ Inside SelectRows @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (!table) return nullptr;
  try {
    if (!criteria) {
      std::unique_ptr<ResultData> result = CreateResultData(0, table->columnCount, *table);
      if (!result) return nullptr;
      for (RowObject* row = table->firstRow; row; row = row->next) {
        if (!AddRowToResultData(row, result.get())) return nullptr;
      }
      result->cursor = nullptr;
      return result;
    }
    ScopedLock lock(gv_criteriaLockKey);
    std::unique_ptr<CriteriaNode> tree = PrepareCriteria(criteria, *table);
    if (!tree) return nullptr;
    std::unique_ptr<ResultData> result = CreateResultData(0, table->columnCount, *table);
    if (!result) return nullptr;
    for (RowObject* row = table->firstRow; row; row = row->next) {
      if (EvaluateCriteria(*tree, *row) && !AddRowToResultData(row, result.get())) {
        LogError("not able to Add row \n");
        return nullptr;
      }
    }
    result->cursor = nullptr;
    return result;
  } catch (const std::exception&) {
    return nullptr;
  }
}
