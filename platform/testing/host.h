// Which host a test runs on, for the expectations that differ between the
// hosts in the platform tests both hosts share (file_test.cc, dir_test.cc,
// process_test.cc): `if (kWindowsHost)` where both branches compile on
// every host, #ifdef _WIN32 only where one branch calls the host's API.

#ifndef PLATFORM_TESTING_HOST_H_
#define PLATFORM_TESTING_HOST_H_

namespace platform::testing {

#ifdef _WIN32
inline constexpr bool kWindowsHost = true;
#else
inline constexpr bool kWindowsHost = false;
#endif

}  // namespace platform::testing

#endif  // PLATFORM_TESTING_HOST_H_
