#include "mixtable/wy_frminfo.h"

#include <new>

#include "platform/env.h"

int Wy_FrmInfo::AddInfo(int n, const char* label, const char* value) {
  if (n <= 0) return 0;
  try {
    std::string l = label != nullptr ? label : "";
    std::string v = value != nullptr ? value : "";
    size_t count = nums_.size();
    if (static_cast<size_t>(n) <= count) {
      size_t i = static_cast<size_t>(n) - 1;
      nums_[i] = static_cast<uint32_t>(n);
      labels_[i].swap(l);
      values_[i].swap(v);
      return 1;
    }
    nums_.reserve(count + 1);
    labels_.reserve(count + 1);
    values_.reserve(count + 1);
    nums_.push_back(static_cast<uint32_t>(n));
    labels_.push_back(std::move(l));
    values_.push_back(std::move(v));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

uint32_t Wy_FrmInfo::GetNum(int i) const {
  return i >= 0 && static_cast<size_t>(i) < nums_.size() ? nums_[i] : 0;
}

std::string Wy_FrmInfo::GetLabel(int i) const {
  return i >= 0 && static_cast<size_t>(i) < labels_.size() ? labels_[i] : "";
}

std::string Wy_FrmInfo::GetValue(int i) const {
  return i >= 0 && static_cast<size_t>(i) < values_.size() ? values_[i] : "";
}

void Wy_FrmInfo::Clear() {
  nums_.clear();
  labels_.clear();
  values_.clear();
}

namespace {

// The directory of the running program with its trailing "/".
std::string ProgramDir() {
  std::string exe = platform::Env::Current()->ProgramPath();
  size_t sep = exe.find_last_of("/\\");
  return sep == std::string::npos ? std::string() : exe.substr(0, sep + 1);
}

}  // namespace

Wy_FrmInfoData::Wy_FrmInfoData() {
  std::string dir = ProgramDir();
  m_DefCodesPath = dir + kCodesFile;
  m_DefValidPath = dir + kValidFile;
}

void Wy_FrmInfoData::SetDefaultPrgParams(bool force) {
  if (force || m_CodesPath.empty()) m_CodesPath = m_DefCodesPath;
  if (force || m_ValidPath.empty()) m_ValidPath = m_DefValidPath;
  if (force || m_YesText.empty()) m_YesText = m_DefYes;
  if (force || m_NoText.empty()) m_NoText = m_DefNo;
}

void Wy_FrmInfoData::Clear() {
  m_CodesFileName = kCodesFile;
  m_ValidFileName = kValidFile;
  m_Info.Clear();
  m_Param1 = m_Param2 = 0;
  m_Text.clear();
  m_CodesPath.clear();
  m_ValidPath.clear();
  m_YesText.clear();
  m_NoText.clear();
}
