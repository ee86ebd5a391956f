// The framework's string-keyed hash table: a fixed array of buckets, each a preallocated first entry
// (no key while the bucket is empty) with a chain of further entries. Keys are owned copies and are
// compared exactly (case-sensitive). Values are held as given; a pointer value is not owned.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

template <typename V>
struct HashEntry {
  std::optional<std::string> key;  // none while a bucket's first entry is empty
  V value{};
  std::unique_ptr<HashEntry> next;

  HashEntry() = default;
  HashEntry(HashEntry&&) noexcept = default;
  HashEntry& operator=(HashEntry&&) noexcept = default;
  ~HashEntry() {
    // Unlink the chain one entry at a time so that a long chain does not recurse.
    std::unique_ptr<HashEntry> chain = std::move(next);
    while (chain) chain = std::move(chain->next);
  }
};

template <typename V>
struct HashTable {
  std::vector<HashEntry<V>> buckets;
  int32_t bucketCount = 0;
};

// Bucket index of key: h = (h * 26 + b) mod bucketCount over the key's bytes taken unsigned.
int32_t HashKey(int32_t bucketCount, const char* key);

template <typename V>
int32_t HashKey(const HashTable<V>& table, const char* key) {
  return HashKey(table.bucketCount, key);
}

// A bucket count of 0 means 10. False (with nothing allocated) when memory runs out or the count is
// negative.
template <typename V>
bool InitHashTable(HashTable<V>& table, int32_t bucketCount) {
  if (bucketCount == 0) bucketCount = 10;
  table.buckets.clear();
  table.bucketCount = 0;
  if (bucketCount < 0) return false;
  try {
    table.buckets.resize(static_cast<size_t>(bucketCount));
  } catch (const std::exception&) {
    table.buckets.clear();
    return false;
  }
  table.bucketCount = bucketCount;
  return true;
}

template <typename V>
HashEntry<V>* GetHashEntry(HashTable<V>& table, const char* key) {
  if (!key || table.bucketCount <= 0) return nullptr;
  for (HashEntry<V>* entry = &table.buckets[static_cast<size_t>(HashKey(table, key))]; entry;
       entry = entry->next.get()) {
    if (entry->key && *entry->key == key) return entry;
  }
  return nullptr;
}

template <typename V>
V* GetHashValue(HashTable<V>& table, const char* key) {
  HashEntry<V>* entry = GetHashEntry(table, key);
  return entry ? &entry->value : nullptr;
}

// Replaces the value of a present key, or enters a copy of the key; false only when memory runs out
// (or the table has no buckets or the key is none).
template <typename V>
bool PutHashValue(HashTable<V>& table, const char* key, V value) {
  if (!key || table.bucketCount <= 0) return false;
  try {
    HashEntry<V>* entry = &table.buckets[static_cast<size_t>(HashKey(table, key))];
    for (;;) {
      if (!entry->key) {  // the bucket's empty first entry
        entry->key.emplace(key);
        entry->value = std::move(value);
        return true;
      }
      if (*entry->key == key) {
        entry->value = std::move(value);
        return true;
      }
      if (!entry->next) break;
      entry = entry->next.get();
    }
    auto added = std::make_unique<HashEntry<V>>();
    added->key.emplace(key);
    added->value = std::move(value);
    entry->next = std::move(added);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Frees every entry with its key copy; values that are pointers are not freed.
template <typename V>
void FreeHashTable(HashTable<V>& table) {
  table.buckets.clear();
  table.bucketCount = 0;
}
