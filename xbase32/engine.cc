#include "engine.h"

#include "wdbase_access.h"
#include "xbase32/wdbase.h"

namespace xbase32 {
namespace {

EngineConfig g_config;
Wdbase* g_head = nullptr;

// Engine start and stop: settings on load, every open table closed on
// unload.
__attribute__((constructor)) void EngineStart() {
  g_config = EngineConfig();
  g_config.initialised = true;
}

__attribute__((destructor)) void EngineStop() {
  Wdbase::CloseAll();
  g_config.initialised = false;
}

}  // namespace

EngineConfig& Config() { return g_config; }

void LinkObject(Wdbase* w) {
  WdbaseAccess::SetNext(w, g_head);
  WdbaseAccess::SetPrev(w, nullptr);
  if (g_head) WdbaseAccess::SetPrev(g_head, w);
  g_head = w;
}

void UnlinkObject(Wdbase* w) {
  Wdbase* prev = WdbaseAccess::Prev(w);
  Wdbase* next = WdbaseAccess::Next(w);
  if (prev) {
    WdbaseAccess::SetNext(prev, next);
  } else if (g_head == w) {
    g_head = next;
  }
  if (next) WdbaseAccess::SetPrev(next, prev);
  WdbaseAccess::SetNext(w, nullptr);
  WdbaseAccess::SetPrev(w, nullptr);
}

Wdbase* FirstObject() { return g_head; }
Wdbase* NextObject(const Wdbase* w) { return WdbaseAccess::Next(w); }

}  // namespace xbase32
