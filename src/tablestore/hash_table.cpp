#include "tablestore/hash_table.h"

int32_t HashKey(int32_t bucketCount, const char* key) {
  if (bucketCount <= 0 || !key) return 0;
  uint64_t h = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p) {
    h = (h * 26 + *p) % static_cast<uint64_t>(bucketCount);
  }
  return static_cast<int32_t>(h);
}
