// Handle table: see process_table.h.

#include "access/process_table.h"

#include <map>
#include <mutex>

namespace mixtable {

namespace {

struct Table {
  std::mutex mu;
  std::map<uint32_t, std::unique_ptr<platform::Process>> children;
  uint32_t next = 0x100;  // handles stand out from small exit codes
};

// Never destroyed: handles may be released while the library unloads.
Table& GetTable() {
  static Table* table = new Table;
  return *table;
}

}  // namespace

uint32_t AddChild(std::unique_ptr<platform::Process> process) {
  Table& t = GetTable();
  std::lock_guard<std::mutex> lock(t.mu);
  while (t.next == 0 || t.next == 0xFFFFFFFFu || t.children.count(t.next)) {
    ++t.next;
  }
  uint32_t handle = t.next++;
  t.children[handle] = std::move(process);
  return handle;
}

std::unique_ptr<platform::Process> TakeChild(uint32_t handle) {
  Table& t = GetTable();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.children.find(handle);
  if (it == t.children.end()) return nullptr;
  std::unique_ptr<platform::Process> p = std::move(it->second);
  t.children.erase(it);
  return p;
}

bool WithChild(uint32_t handle,
               const std::function<void(platform::Process*)>& fn) {
  Table& t = GetTable();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.children.find(handle);
  if (it == t.children.end()) return false;
  fn(it->second.get());
  return true;
}

}  // namespace mixtable
