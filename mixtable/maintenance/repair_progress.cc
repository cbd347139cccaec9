// Progress notifications of the maintenance passes.

#include "maintenance/repair_progress.h"

#include "platform/hooks.h"

namespace mixtable::repairs {

void SendProgress(const void* window, unsigned msg, int64_t param,
                  const char* text) {
  if (window == nullptr) return;
  (void)text;
  platform::Progress(msg, param, 0);
}

int64_t Percent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  return done * 100 / total;
}

}  // namespace mixtable::repairs
