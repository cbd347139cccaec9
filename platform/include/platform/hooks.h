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

// Progress of long operations: msg is the notification number (0x8702
// start with total, 0x8703 step, 0x8704 end), a and b its parameters.
// Default: nothing.
using ProgressHook = void (*)(unsigned msg, int64_t a, int64_t b);
ProgressHook SetProgressHook(ProgressHook hook);
void Progress(unsigned msg, int64_t a, int64_t b);

// Audible signal. Default: BEL to standard error when it is a terminal.
using BeepHook = void (*)();
BeepHook SetBeepHook(BeepHook hook);
void Beep();

}  // namespace platform

#endif  // PLATFORM_HOOKS_H_
