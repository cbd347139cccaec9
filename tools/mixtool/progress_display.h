// The progress bar of mixtool's long commands (check, upgrade, child): the
// platform progress hook drawn as a bar on a terminal, one line per table
// otherwise.
#ifndef MIXTOOL_PROGRESS_DISPLAY_H_
#define MIXTOOL_PROGRESS_DISPLAY_H_

#include <ostream>

#include "platform/hooks.h"

namespace mixtool {

// Shows the progress messages sent to platform::kProgressWindow on err for
// its life (a bar when err is std::cerr on a terminal), then restores the
// previous hook. One at a time per process.
class ProgressTo {
 public:
  explicit ProgressTo(std::ostream& err);
  ~ProgressTo();
  ProgressTo(const ProgressTo&) = delete;
  ProgressTo& operator=(const ProgressTo&) = delete;

 private:
  platform::ProgressHook old_;
};

}  // namespace mixtool

#endif  // MIXTOOL_PROGRESS_DISPLAY_H_
