// XBASE32_API marks the classes and functions that the storage engine
// exports. Building XBASE32.dll (XBASE32_BUILDING defined) they are exported
// from it; a user of the DLL imports them; a static engine
// (XBASE32_STATIC) needs neither. Elsewhere they keep default visibility.
// No system header is included.

#ifndef XBASE32_EXPORT_H_
#define XBASE32_EXPORT_H_

#if defined(_WIN32) && !defined(XBASE32_STATIC)
#if defined(XBASE32_BUILDING)
#define XBASE32_API __declspec(dllexport)
#else
#define XBASE32_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define XBASE32_API __attribute__((visibility("default")))
#else
#define XBASE32_API
#endif

#endif  // XBASE32_EXPORT_H_
