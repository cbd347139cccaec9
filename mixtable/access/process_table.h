// The process-wide table behind WyProcessHandle: each handle owns the
// platform's Process object of a child started without waiting. Guarded by a
// mutex; internal to the tables library.

#ifndef MIXTABLE_ACCESS_PROCESS_TABLE_H_
#define MIXTABLE_ACCESS_PROCESS_TABLE_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/env.h"

namespace mixtable {

// Takes ownership of process and answers its new handle (never 0 nor
// 0xFFFFFFFF, never one in use).
uint32_t AddChild(std::unique_ptr<platform::Process> process);

// Removes the handle from the table and hands its Process to the caller
// (nullptr for an unknown handle).
std::unique_ptr<platform::Process> TakeChild(uint32_t handle);

// Calls fn with the handle's Process while holding the table's lock (fn must
// not block); false for an unknown handle.
bool WithChild(uint32_t handle,
               const std::function<void(platform::Process*)>& fn);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_PROCESS_TABLE_H_
