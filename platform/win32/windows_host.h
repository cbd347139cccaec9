// <windows.h> as the Windows sources of the platform layer include it:
// lean, without the min/max macros, and without the DeleteFile/CopyFile
// macros that would rename Env's members of those names; and the owner of
// a kernel handle they share. Internal to the platform layer.

#ifndef PLATFORM_WIN32_WINDOWS_HOST_H_
#define PLATFORM_WIN32_WINDOWS_HOST_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef DeleteFile
#undef CopyFile

namespace platform::internal {

// Owns a file handle (INVALID_HANDLE_VALUE: none) and closes it.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

}  // namespace platform::internal

#endif  // PLATFORM_WIN32_WINDOWS_HOST_H_
