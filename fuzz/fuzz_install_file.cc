// GDATA.TXT of arbitrary bytes read by the install engine: the reader must
// answer 1 with a usable context or refuse the file, never crash, and never
// accept a target that the path check refuses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/install_engine.h"
#include "platform/env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    char tmpl[] = "/tmp/fuzz_install_XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    platform::Env::Current()->SetEnv("KALVO_DRIVES", std::string(dir));
    return true;
  }();
  (void)ready;
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  if (!env->OpenFile("c:\\pkg\\GDATA.TXT", platform::OpenMode::kCreateAlways,
                     &f)
           .ok()) {
    env->CreateDir("c:\\pkg");
    if (!env->OpenFile("c:\\pkg\\GDATA.TXT", platform::OpenMode::kCreateAlways,
                       &f)
             .ok())
      std::abort();
  }
  if (!f->WriteAt(0, data, size).ok()) std::abort();
  f.reset();
  InstallContext ctx;
  ctx.package_dir = "c:\\pkg";
  int r = ReadInstallFile(ctx);
  if (r == 1) {
    if (ctx.data_id == 0) std::abort();
    if (!ctx.work_area_mode && !CheckTargetPath(ctx.path, nullptr))
      std::abort();
  } else if (r != -1) {
    std::abort();
  }
  return 0;
}
