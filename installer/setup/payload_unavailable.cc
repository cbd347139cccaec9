// The payload functions of a build without libarchive (the Windows build:
// there is no libarchive for it). Packages can be neither written nor read
// there: every call fails with a line saying so, and nothing is written.

#include "payload.h"

namespace setup {
namespace {

bool Unavailable(std::string* why) {
  if (why)
    *why = "data-set packages (GDATA.TGZ) are not supported by this build";
  return false;
}

}  // namespace

bool CheckPayload(const std::string&, PayloadSummary*, std::string* why) {
  return Unavailable(why);
}

bool ExtractPayload(const std::string&, const std::string&,
                    const ExtractOptions&, PayloadSummary*, std::string* why) {
  return Unavailable(why);
}

bool WritePayload(const std::string&, const std::string&, PayloadSummary*,
                  std::string* why) {
  return Unavailable(why);
}

}  // namespace setup
