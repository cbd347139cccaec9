// Arbitrary bytes as the payload of a package, checked and unpacked by the
// setup program's reader into a target directory: it must never crash, and
// nothing may appear outside the target (the drives root holds only the
// payload file and the target afterwards).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "payload.h"
#include "platform/env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string root;
  static const bool ready = [] {
    char tmpl[] = "/tmp/fuzz_setup_payload_XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    root = std::string(dir) + "/drives";
    platform::Env* env = platform::Env::Current();
    env->SetEnv("KALVO_DRIVES", root);
    env->CreateDir(root);
    env->CreateDir("c:\\");
    if (!env->FileExists("c:\\")) std::abort();
    return true;
  }();
  (void)ready;
  platform::Env* env = platform::Env::Current();
  {
    std::unique_ptr<platform::File> f;
    if (!env->OpenFile("c:\\payload.tgz", platform::OpenMode::kCreateAlways, &f)
             .ok() ||
        !f->WriteAt(0, data, size).ok())
      std::abort();
  }
  setup::ExtractOptions options;
  options.sync = false;
  setup::PayloadSummary checked, written;
  std::string why;
  bool ok_check = setup::CheckPayload("c:\\payload.tgz", &checked, &why);
  bool ok = setup::ExtractPayload("c:\\payload.tgz", "c:\\target", options,
                                  &written, &why);
  // The extraction checks first: it succeeds exactly when the check does,
  // and then writes what the check counted.
  if (ok != ok_check) std::abort();
  if (ok && (written.files != checked.files || written.dirs != checked.dirs ||
             written.bytes != checked.bytes))
    std::abort();
  if (!ok && why.empty()) std::abort();
  std::vector<platform::DirEntry> top;
  if (!env->ListDir(root, "*", &top).ok() || top.size() != 1 ||
      top[0].name != "c")
    std::abort();
  if (!env->ListDir("c:\\", "*", &top).ok()) std::abort();
  for (const platform::DirEntry& e : top) {
    if (e.name != "payload.tgz" && e.name != "target") std::abort();
  }
  if (!ok_check && env->FileExists("c:\\target")) std::abort();
  env->DeleteTree("c:\\target");
  return 0;
}
