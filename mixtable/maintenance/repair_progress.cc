// Progress notifications of the maintenance passes.

#include "maintenance/repair_progress.h"

#include "platform/hooks.h"

namespace mixtable::repairs {

void SendProgress(const void* window, unsigned msg, int64_t param,
                  const char* text) {
  platform::Progress(window, msg, param, text);
}

int64_t Percent(int64_t done, int64_t total) {
  return platform::ProgressPercent(done, total);
}

}  // namespace mixtable::repairs
