// Console defaults of the user-interface hooks.
//
// On Windows the defaults stay those of a console program, with two
// additions: the message box default shows a real MessageBoxA when
// $KALVO_MESSAGE_BOX is "window", or when the program has neither a console
// nor a standard error to print to (a program started from the desktop);
// "console" keeps the printed line in every case. And $KALVO_TRACE may be
// "debug", which sends the trace to OutputDebugStringA (a debugger or a
// trace viewer shows it).

#include "platform/hooks.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

// Style bits beyond those named in hooks.h: the button set and the default
// button.
constexpr unsigned kMbTypeMask = 0xF;
constexpr unsigned kMbDefMask = 0xF00;
constexpr unsigned kMbDefButton3 = 0x200;

#ifdef _WIN32
constexpr int kStderrFd = 2;

// Through the C runtime's descriptor, so that a redirection of descriptor
// 2 (a test capturing standard error) sees the text.
void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const unsigned chunk =
        n > 0x40000000 ? 0x40000000u : static_cast<unsigned>(n);
    int w = _write(fd, p, chunk);
    if (w <= 0) return;
    p += w;
    n -= static_cast<size_t>(w);
  }
}

bool IsTerminal(int fd) {
  DWORD mode = 0;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// Whether the message box default shows a window (see the file comment).
bool MessageBoxWanted() {
  const char* v = getenv("KALVO_MESSAGE_BOX");
  if (v != nullptr && strcmp(v, "window") == 0) return true;
  if (v != nullptr && strcmp(v, "console") == 0) return false;
  if (GetConsoleWindow() != nullptr) return false;
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  return err == nullptr || err == INVALID_HANDLE_VALUE;
}

// Appends the line to the file in one write: FILE_APPEND_DATA places every
// write at the end, so lines of several processes never overlap.
void AppendToFile(const char* path, const std::string& line) {
  HANDLE h = CreateFileA(path, FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(h);
}
#else
constexpr int kStderrFd = STDERR_FILENO;

void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

bool IsTerminal(int fd) { return isatty(fd) != 0; }

void AppendToFile(const char* path, const std::string& line) {
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  WriteAll(fd, line.data(), line.size());  // one write: lines stay whole
  close(fd);
}
#endif

int ConsoleMessageBox(const char* caption, const char* text, unsigned style) {
#ifdef _WIN32
  if (MessageBoxWanted()) {
    int answer = MessageBoxA(nullptr, text != nullptr ? text : "",
                             caption != nullptr ? caption : "",
                             style | MB_TASKMODAL | MB_SETFOREGROUND);
    if (answer != 0) return answer;  // else no window could be shown: print
  }
#endif
  std::string line = caption != nullptr ? caption : "";
  line += ": ";
  line += text != nullptr ? text : "";
  line += "\n";
  WriteAll(kStderrFd, line.data(), line.size());
  const unsigned def = style & kMbDefMask;
  switch (style & kMbTypeMask) {
    case kMbOkCancel:
      return def == kMbDefButton2 ? kIdCancel : kIdOk;
    case kMbYesNo:
      return def == kMbDefButton2 ? kIdNo : kIdYes;
    case kMbYesNoCancel:
      return def == kMbDefButton2   ? kIdNo
             : def == kMbDefButton3 ? kIdCancel
                                    : kIdYes;
    default:
      return kIdOk;
  }
}

// $KALVO_TRACE, read at each call so that a test or a user can switch it.
void DefaultTrace(int, const char* text) {
  const char* sink = getenv("KALVO_TRACE");
  if (sink == nullptr || *sink == '\0' || text == nullptr) return;
  std::string line = text;
  if (line.empty() || line.back() != '\n') line += '\n';
  if (strcmp(sink, "stderr") == 0) {
    WriteAll(kStderrFd, line.data(), line.size());
    return;
  }
#ifdef _WIN32
  if (strcmp(sink, "debug") == 0) {
    OutputDebugStringA(line.c_str());
    return;
  }
#endif
  AppendToFile(sink, line);
}

void NoProgress(const void*, unsigned, int64_t, const char*) {}

void ConsoleBeep() {
  if (IsTerminal(kStderrFd)) WriteAll(kStderrFd, "\a", 1);
}

std::atomic<MessageBoxHook> g_message_box{nullptr};
std::atomic<TraceHook> g_trace{nullptr};
std::atomic<ProgressHook> g_progress{nullptr};
std::atomic<BeepHook> g_beep{nullptr};

template <typename Hook>
Hook Swap(std::atomic<Hook>* slot, Hook hook, Hook fallback) {
  Hook prev = slot->exchange(hook);
  return prev != nullptr ? prev : fallback;
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  return Swap(&g_message_box, hook, &ConsoleMessageBox);
}

int ShowMessageBox(const char* caption, const char* text, unsigned style) {
  MessageBoxHook h = g_message_box.load();
  return (h != nullptr ? h : &ConsoleMessageBox)(caption, text, style);
}

TraceHook SetTraceHook(TraceHook hook) {
  return Swap(&g_trace, hook, &DefaultTrace);
}

void Trace(int category, const char* text) {
  TraceHook h = g_trace.load();
  (h != nullptr ? h : &DefaultTrace)(category, text);
}

ProgressHook SetProgressHook(ProgressHook hook) {
  return Swap(&g_progress, hook, &NoProgress);
}

const char kProgressWindow[] = "program";

void Progress(const void* window, unsigned msg, int64_t param,
              const char* text) {
  if (window == nullptr) return;
  ProgressHook h = g_progress.load();
  (h != nullptr ? h : &NoProgress)(window, msg, param, text);
}

int64_t ProgressPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  // done * 100 could overflow for huge counts: compute in floating point.
  if (done > INT64_MAX / 100) {
    return static_cast<int64_t>(static_cast<double>(done) * 100.0 /
                                static_cast<double>(total));
  }
  return done * 100 / total;
}

BeepHook SetBeepHook(BeepHook hook) {
  return Swap(&g_beep, hook, &ConsoleBeep);
}

void Beep() {
  BeepHook h = g_beep.load();
  (h != nullptr ? h : &ConsoleBeep)();
}

bool StderrIsTerminal() { return IsTerminal(kStderrFd); }

}  // namespace platform
