// File-name masks of directory listings. Internal to the platform layer.

#ifndef PLATFORM_MASK_H_
#define PLATFORM_MASK_H_

#include <string>

namespace platform::internal {

// Whether name matches mask, ignoring the case of ASCII letters. "*" matches
// any run of characters (also none), "?" exactly one. As on the original
// file system: "", "*" and "*.*" match every name (with or without a dot), a
// trailing ".*" may also match nothing ("PRODUCTS.*" matches "PRODUCTS"),
// and a trailing "." matches the end of a name without a dot ("*." lists the
// names without an extension).
bool MatchMask(const std::string& name, const std::string& mask);

}  // namespace platform::internal

#endif  // PLATFORM_MASK_H_
