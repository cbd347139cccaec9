// Progress notifications of the maintenance passes through the platform
// progress hook: 0x8702 overall percent + description, 0x8703 table percent
// + table name, 0x8704 1 show text / 2 reset. Internal to the tables
// library.

#ifndef MIXTABLE_MAINTENANCE_REPAIR_PROGRESS_H_
#define MIXTABLE_MAINTENANCE_REPAIR_PROGRESS_H_

#include <cstdint>

namespace mixtable::repairs {

constexpr unsigned kProgressOverall = 0x8702;
constexpr unsigned kProgressTable = 0x8703;
constexpr unsigned kProgressText = 0x8704;
constexpr int64_t kProgressShowText = 1;
constexpr int64_t kProgressReset = 2;

// Sends one notification for window; a null window sends nothing. text may
// be null.
void SendProgress(const void* window, unsigned msg, int64_t param,
                  const char* text);

// done of total as a percentage clamped to 0..100; 0 when total is 0 or
// less.
int64_t Percent(int64_t done, int64_t total);

}  // namespace mixtable::repairs

#endif  // MIXTABLE_MAINTENANCE_REPAIR_PROGRESS_H_
