// Process-wide state of the engine: its settings, the list of Wdbase
// objects, and start/stop when the library is loaded and unloaded.

#ifndef XBASE32_ENGINE_H_
#define XBASE32_ENGINE_H_

class Wdbase;

namespace xbase32 {

// The engine's global settings, initialised once when the library loads.
struct EngineConfig {
  char date_picture[16] = "MM/DD/YY";
  int lock_attempts = -1;  // unlimited
  bool auto_open_production = false;
  bool read_errors = false;  // short reads reported as -70
  bool open_errors = true;
  bool field_name_errors = true;
  bool expr_errors = true;
  int debug_level = 0;
  bool auto_flush = true;
  bool initialised = false;
};

EngineConfig& Config();

// The process-wide list of Wdbase objects, newest first.
void LinkObject(Wdbase* w);
void UnlinkObject(Wdbase* w);
Wdbase* FirstObject();
Wdbase* NextObject(const Wdbase* w);

// Library version times 100.
constexpr int kVersion = 100;

}  // namespace xbase32

#endif  // XBASE32_ENGINE_H_
