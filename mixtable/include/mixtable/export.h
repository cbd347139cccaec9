// MIXTABLE_API marks the classes and functions that the tables library
// exports. Building MIXTABLE.dll (MIXTABLE_BUILDING defined) they are exported
// from it; a user of the DLL imports them; a static library
// (MIXTABLE_STATIC) needs neither. Elsewhere they keep default visibility.
// No system header is included.

#ifndef MIXTABLE_EXPORT_H_
#define MIXTABLE_EXPORT_H_

#if defined(_WIN32) && !defined(MIXTABLE_STATIC)
#if defined(MIXTABLE_BUILDING)
#define MIXTABLE_API __declspec(dllexport)
#else
#define MIXTABLE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define MIXTABLE_API __attribute__((visibility("default")))
#else
#define MIXTABLE_API
#endif

#endif  // MIXTABLE_EXPORT_H_
