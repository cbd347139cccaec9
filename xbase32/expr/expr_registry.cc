#include "expr/expr_registry.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace xbase32 {

namespace {

struct Entry {
  bool is_text = false;
  std::string text;
  CxRoutine routine = nullptr;
  void* context = nullptr;
  std::shared_ptr<void> owned;  // owned context, or empty
  const void* owner = nullptr;
};

struct Registry {
  std::mutex mu;
  std::unordered_map<ExprHandle, Entry> entries;
  ExprHandle last = 0;  // the last handle issued
};

// Never destroyed, so that registrations ended from static destructors stay
// safe.
Registry& Global() {
  static Registry* registry = new Registry;
  return *registry;
}

ExprHandle Add(Registry& r, Entry entry) {
  if (r.last == INT32_MAX) return 0;
  const ExprHandle h = ++r.last;
  r.entries.emplace(h, std::move(entry));
  return h;
}

}  // namespace

ExprHandle RegisterText(const char* text, const void* owner) {
  if (text == nullptr) return 0;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  for (const auto& [h, e] : r.entries) {
    if (e.is_text && e.owner == owner && e.text == text) return h;
  }
  Entry e;
  e.is_text = true;
  e.text = text;
  e.owner = owner;
  return Add(r, std::move(e));
}

ExprHandle RegisterCxRoutine(CxRoutine routine, void* context,
                             const void* owner) {
  if (routine == nullptr) return 0;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  Entry e;
  e.routine = routine;
  e.context = context;
  e.owner = owner;
  return Add(r, std::move(e));
}

ExprHandle RegisterCxRoutine(CxRoutine routine, std::shared_ptr<void> context,
                             const void* owner) {
  if (routine == nullptr) return 0;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  Entry e;
  e.routine = routine;
  e.context = context.get();
  e.owned = std::move(context);
  e.owner = owner;
  return Add(r, std::move(e));
}

// The erasing functions move owned contexts out and release them after the
// lock is dropped: a context's destructor may itself use the registry.
bool Unregister(ExprHandle handle) {
  std::shared_ptr<void> release;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  if (it == r.entries.end()) return false;
  release = std::move(it->second.owned);
  r.entries.erase(it);
  return true;
}

bool UnregisterCxRoutine(ExprHandle handle, const void* owner) {
  std::shared_ptr<void> release;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  if (it == r.entries.end() || it->second.is_text ||
      it->second.owner != owner) {
    return false;
  }
  release = std::move(it->second.owned);
  r.entries.erase(it);
  return true;
}

size_t UnregisterOwner(const void* owner) {
  std::vector<std::shared_ptr<void>> release;
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  size_t n = 0;
  for (auto it = r.entries.begin(); it != r.entries.end();) {
    if (it->second.owner == owner) {
      if (it->second.owned) release.push_back(std::move(it->second.owned));
      it = r.entries.erase(it);
      n++;
    } else {
      ++it;
    }
  }
  return n;
}

bool LookupText(ExprHandle handle, std::string* text) {
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  if (it == r.entries.end() || !it->second.is_text) return false;
  *text = it->second.text;
  return true;
}

bool IsRegisteredText(ExprHandle handle) {
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  return it != r.entries.end() && it->second.is_text;
}

bool LookupCxRoutine(ExprHandle handle, CxRoutine* routine, void** context) {
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  if (it == r.entries.end() || it->second.is_text) return false;
  *routine = it->second.routine;
  *context = it->second.context;
  return true;
}

bool LookupCxRoutine(ExprHandle handle, CxRoutine* routine, void** context,
                     std::shared_ptr<void>* keep) {
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  if (it == r.entries.end() || it->second.is_text) return false;
  *routine = it->second.routine;
  *context = it->second.context;
  *keep = it->second.owned;
  return true;
}

bool IsRegisteredCxRoutine(ExprHandle handle, const void* owner) {
  Registry& r = Global();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.entries.find(handle);
  return it != r.entries.end() && !it->second.is_text &&
         it->second.owner == owner;
}

size_t FormatToken(ExprHandle handle, TokenKind kind, char* out) {
  const char* format = kind == TokenKind::kText ? "!*%ld*!" : "!@%ld@!";
  const int n =
      std::snprintf(out, kTokenSize, format, static_cast<long>(handle));
  return n < 0 ? 0 : static_cast<size_t>(n);
}

bool ParseToken(const char* p, size_t n, TokenKind kind, ExprHandle* handle) {
  const char mark = kind == TokenKind::kText ? '*' : '@';
  const void* nul = std::memchr(p, '\0', n);
  if (nul != nullptr)
    n = static_cast<size_t>(static_cast<const char*>(nul) - p);
  while (n > 0 && p[n - 1] == ' ') n--;
  if (n <= 4 || p[0] != '!' || p[1] != mark || p[n - 2] != mark ||
      p[n - 1] != '!') {
    return false;
  }
  size_t i = 2;
  const bool negative = p[i] == '-';
  if (negative) i++;
  if (i >= n - 2) return false;  // no digits
  int64_t v = 0;
  for (; i < n - 2; i++) {
    if (p[i] < '0' || p[i] > '9') return false;
    if (v <= INT32_MAX) v = v * 10 + (p[i] - '0');
  }
  *handle = negative || v > INT32_MAX ? 0 : static_cast<ExprHandle>(v);
  return true;
}

}  // namespace xbase32
