// CMixtableEx: the data set's description file FVERS.DAT and the alignment
// of its version with the one the DATAID carries.

#include <cstdio>
#include <memory>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_fvers_descr.h"
#include "mixtable/wy_gdata_id.h"
#include "mixtable/wy_util.h"
#include "platform/codepage.h"
#include "platform/env.h"

namespace {

// The first line of the file (at most kFVersMaxLine characters), CR and LF
// removed; a NUL byte ends the text. False when the file cannot be read.
bool ReadFirstLine(const std::string& path, std::string* line) {
  line->clear();
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  if (!env->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok())
    return false;
  std::string buf(kFVersMaxLine, '\0');
  size_t got = 0;
  if (!f->ReadAt(0, buf.data(), buf.size(), &got).ok()) return false;
  buf.resize(got);
  const size_t end = buf.find_first_of(std::string("\n\0", 2));
  if (end != std::string::npos) buf.resize(end);
  for (char c : buf)
    if (c != '\r') *line += c;
  return true;
}

// Writes text as the whole file path: a work file beside it, synced, then
// renamed over it. The old file stays whole on any failure.
bool ReplaceFile(const std::string& dir, const std::string& path,
                 const std::string& text) {
  platform::Env* env = platform::Env::Current();
  const std::string work =
      dir + "FVERS." + std::to_string(env->CurrentProcessId()) + ".TMP";
  std::unique_ptr<platform::File> f;
  if (!env->OpenFile(work, platform::OpenMode::kCreateAlways, &f).ok())
    return false;
  bool ok = f->WriteAt(0, text.data(), text.size()).ok() && f->Sync().ok();
  f.reset();
  ok = ok && env->RenameFile(work, path, true).ok();
  if (!ok) {
    env->DeleteFile(work);
    return false;
  }
  env->SyncDir(dir);
  return true;
}

}  // namespace

// Whether the description goes through the OEM/ANSI conversion: PARAM's
// handle exists and its conversion mode is on.
static bool ConvertsText(CMixtable& table) {
  Wdbase* param = table.Handle(Y_PARAM);
  return param != nullptr &&
         param->GetOEMConversionMode() == Wdbase_OEMtoChar_On;
}

std::string CMixtableEx::GetGdataDescr() {
  const std::string dir = m_table.GetDataDir();
  if (dir.empty()) return std::string();
  std::string line;
  if (!ReadFirstLine(dir + kFVersFileName, &line)) return std::string();
  if (ConvertsText(m_table)) line = platform::OemToAnsi(line);
  return line;
}

bool CMixtableEx::SetGdataDescr(double version, const char* descr) {
  if (!(version >= 0.0) || version >= kFVersVersionLimit) return false;
  const std::string dir = m_table.GetDataDir();
  if (dir.empty()) return false;
  std::string text;
  if (descr != nullptr) {
    text = descr;
  } else {
    const std::string current = GetGdataDescr();
    if (current.size() > kFVersVersionWidth)
      text = current.substr(kFVersVersionWidth);
  }
  std::string line = Wy_FormatFVersLine(version, text);
  if (ConvertsText(m_table)) line = platform::AnsiToOem(line);
  if (!ReplaceFile(dir, dir + kFVersFileName, line)) {
    Wy_Trace("SetGdataDescr: %s%s cannot be written", dir.c_str(),
             kFVersFileName);
    return false;
  }
  return true;
}

bool CMixtableEx::SetGdataDescr(const char* line) {
  if (line == nullptr || *line == '\0') return true;
  if (m_table.GetDataDir().empty()) return false;
  Wy_FVersDescr d;
  d.Init(line);
  double v = 1.0;
  Wy_ParseGDataVersion(d.GetVersion().c_str(), &v);
  std::string text;
  d.GetPureDescr(text);
  return SetGdataDescr(v, text.c_str());
}

bool CMixtableEx::AlignGDataVersions() {
  Wdbase* param = m_table.Handle(Y_PARAM);
  if (param == nullptr) return false;
  uint32_t state = 0;
  if (!m_table.TmpOpen(param, &state)) return true;
  std::string dataid, abs, comment;
  const bool have_id = GetParam("DATAID", dataid, comment) &&
                       Wy_GDataID::IsDataIdForm(dataid.c_str());
  const bool have_abs = have_id && GetParam("ABS_DATAID", abs, comment);
  bool ok = true;
  Wy_GDataID id;
  if (have_abs && id.SetData(GetParamGdataId(true), dataid.c_str())) {
    Wy_FVersDescr descr;
    descr.Init(GetGdataDescr().c_str());
    double a = -1, b = -2;
    Wy_ParseGDataVersion(descr.GetVersion().c_str(), &a);
    Wy_ParseGDataVersion(id.GetVersion().c_str(), &b);
    // Compared as numbers to two decimals: "1.5" and "1.50" are the same.
    if (static_cast<long>(a * 100 + 0.5) != static_cast<long>(b * 100 + 0.5)) {
      descr.SetVersion(id.GetVersion().c_str());
      std::string line;
      ok = SetGdataDescr(descr.GetCompleteDescr(line).c_str());
    }
  }
  m_table.TmpClose(param, &state);
  return ok;
}
