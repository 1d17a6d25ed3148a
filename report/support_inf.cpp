// The product information reader.
#include "report/support_inf.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "res/texts.h"
#include "win32/file.h"
#include "win32/mbcs.h"
#include "win32/ui_port.h"

namespace {
constexpr char kFileName[] = "SUPPORT.INF";
constexpr char kEndOfFileMark = 0x1A;
}  // namespace

ClSupportInf::~ClSupportInf() {
  if (m_hMem != 0) {
    if (m_pMem != nullptr) win32::GlobalUnlock(m_hMem);
    win32::GlobalFree(m_hMem);
  }
}

int ClSupportInf::Load() {
  if (m_hMem != 0) return 1;
  m_hMem = win32::GlobalAlloc(win32::GHND, kBlockSize);
  if (m_hMem == 0) {
    win32::MessageBoxA(0, res::Text(res::TextId::kOutOfMemory), res::Text(res::TextId::kTitle),
                       win32::MB_OK | win32::MB_ICONEXCLAMATION);
    return 0;
  }
  m_pMem = static_cast<char*>(win32::GlobalLock(m_hMem));
  if (m_pMem == nullptr) return 1;  // no data: every lookup finds nothing
  std::memset(m_pMem, 0xFF, kBlockSize);

  const std::string path = std::string(m_szFolder) + kFileName;
  win32::CFile file;
  if (!file.Open(path.c_str(),
                 win32::CFile::modeRead | win32::CFile::shareDenyNone | win32::CFile::typeBinary))
    return 1;
  try {
    m_nDataSize = file.Read(m_pMem, static_cast<win32::UINT>(kBlockSize));
  } catch (const win32::CFileException&) {
    m_nDataSize = 0;
  }
  file.Abort();

  for (std::size_t i = 0; i < m_nDataSize; ++i) {
    if (m_pMem[i] == '\r' && i + 1 < m_nDataSize && m_pMem[i + 1] == '\n') {
      m_pMem[i] = '\0';
      m_pMem[++i] = '\0';
    } else if (m_pMem[i] == kEndOfFileMark) {
      m_pMem[i] = '\0';
    }
  }
  return 1;
}

std::string ClSupportInf::Lookup(const std::string& marker) {
  if (!Load() || m_pMem == nullptr) return {};
  const std::string_view data(m_pMem, m_nDataSize);
  const std::size_t at = data.find(marker);
  if (at == std::string_view::npos) return {};
  std::string_view value = data.substr(at + marker.size());
  value = value.substr(0, std::min(value.find('\0'), value.size()));
  // A value that runs to the end of a full block may end with the first byte of a character whose second
  // byte was not read: that byte is left out, so that no half character reaches the report.
  if (m_nDataSize == kBlockSize && value.data() + value.size() == data.data() + data.size() &&
      !value.empty() && win32::IsLeadByte(static_cast<unsigned char>(value.back())) &&
      !win32::IsTrailPosition(value, value.size() - 1))
    value.remove_suffix(1);
  // The value's area holds 255 bytes and a NUL.
  return win32::CutAtCharBoundary(value, kValueSize - 1);
}

std::string ClSupportInf::GetProductName() { return Lookup(res::Text(res::TextId::kProductNameMarker)); }

std::string ClSupportInf::GetProductVersion() {
  return Lookup(res::Text(res::TextId::kProductVersionMarker));
}
