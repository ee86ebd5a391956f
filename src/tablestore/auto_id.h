// Automatic identifiers: per generator name, the next identifier and the end of its reserved batch.
#pragma once

#include <cstdint>
#include <optional>

#include "tablestore/hash_table.h"

struct ColumnDefinition;

struct AutoIdRange {
  int32_t nextId = 0;
  int32_t batchEnd = 0;
};

inline constexpr int32_t kAutoIdBatchSize = 300;

// Generator name -> range; an entry may exist without a value. Nothing in this program fills it.
extern HashTable<std::optional<AutoIdRange>> gv_autoIdMap;

// The next identifier of the column's generator, or -1 when the map has no entry (or no value) for it.
int32_t GenerateID(const char* tableName, const ColumnDefinition& column);
// Reserves the next batch of the generator. The sequence state lives in the map itself: an entry
// whose batch ends at N continues with N + 1 to N + 300; an entry without a value starts at 1 to 300.
bool UpdateSeqGen(const char* tableName, const char* generatorName);
