// Console defaults of the user-interface hooks.

#include "platform/hooks.h"

#include <fcntl.h>
#include <unistd.h>

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

int ConsoleMessageBox(const char* caption, const char* text, unsigned style) {
  std::string line = caption != nullptr ? caption : "";
  line += ": ";
  line += text != nullptr ? text : "";
  line += "\n";
  WriteAll(STDERR_FILENO, line.data(), line.size());
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
    WriteAll(STDERR_FILENO, line.data(), line.size());
    return;
  }
  int fd = open(sink, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  WriteAll(fd, line.data(), line.size());  // one write: lines stay whole
  close(fd);
}

void NoProgress(const void*, unsigned, int64_t, const char*) {}

void ConsoleBeep() {
  if (isatty(STDERR_FILENO)) WriteAll(STDERR_FILENO, "\a", 1);
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

}  // namespace platform
