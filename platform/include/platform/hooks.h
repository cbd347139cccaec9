// User-interface sinks of the platform layer: message boxes, the trace
// window, progress notifications and the beep. Each has a console default;
// a program with windows (the installer) installs its own, tests install
// recorders. Setters answer the previous hook; nullptr restores the default.
// Hooks are process-wide and not guarded: install them before starting work.

#ifndef PLATFORM_HOOKS_H_
#define PLATFORM_HOOKS_H_

#include <cstdint>

namespace platform {

// Message box styles and answers, with the Windows values callers know.
enum : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbDefButton2 = 0x100,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Shows a message and answers the button pressed. The console default
// prints "caption: text" to standard error and answers the default button.
using MessageBoxHook = int (*)(const char* caption, const char* text,
                               unsigned style);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
int ShowMessageBox(const char* caption, const char* text, unsigned style);

// Diagnostic trace output with a category (the tables library uses 1002).
// Default: nothing, unless $KALVO_TRACE is "stderr" (text to standard
// error) or a file path (text appended to that file).
using TraceHook = void (*)(int category, const char* text);
TraceHook SetTraceHook(TraceHook hook);
void Trace(int category, const char* text);

// Progress of long operations, as the notifications of a progress window
// carry it. window is the caller's opaque window handle: the hook decides
// what it means; a null window sends nothing (Progress returns at once),
// so a caller without a window simply passes null. Code that reports for
// the program itself (setup, the tools) passes kProgressWindow.
//   kProgressOverall (0x8702): param the overall percent 0..100, text what
//                              is being done;
//   kProgressStep    (0x8703): param the current step's percent 0..100,
//                              text its subject (a table, a file);
//   kProgressText    (0x8704): param kProgressShowText shows text as a
//                              status line, kProgressReset ends the display.
// text may be null (nothing to show). The wait cursor and the shell's
// change notification of the original window are not kept. Default: nothing.
inline constexpr unsigned kProgressOverall = 0x8702;
inline constexpr unsigned kProgressStep = 0x8703;
inline constexpr unsigned kProgressText = 0x8704;
inline constexpr int64_t kProgressShowText = 1;
inline constexpr int64_t kProgressReset = 2;
extern const char kProgressWindow[];  // the program's own display
using ProgressHook = void (*)(const void* window, unsigned msg, int64_t param,
                              const char* text);
ProgressHook SetProgressHook(ProgressHook hook);
void Progress(const void* window, unsigned msg, int64_t param,
              const char* text);
// The percent of done out of total, clamped to 0..100 (0 when total <= 0).
int64_t ProgressPercent(int64_t done, int64_t total);

// Audible signal. Default: BEL to standard error when it is a terminal.
using BeepHook = void (*)();
BeepHook SetBeepHook(BeepHook hook);
void Beep();

}  // namespace platform

#endif  // PLATFORM_HOOKS_H_
