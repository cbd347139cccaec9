// Wy_GDataChild: applying the rules of one table at one level of a child.
#include <cstdint>

#include "mixtable/wy_gdata_child.h"

namespace {
int32_t g_walkThreshold = kApplyWalkThreshold;
}  // namespace

void Wy_GDataChild::SetApplyWalkThreshold(int32_t records) {
  g_walkThreshold = records > 0 ? records : kApplyWalkThreshold;
}

// Not applied yet: answers -1 so that no build passes as complete.
int Wy_GDataChild::Card_Apply(const char*, int, int32_t, int32_t, const void*) {
  return -1;
}
