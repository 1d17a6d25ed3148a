// The product information file "SUPPORT.INF" of the accounting product: the product name and version
// fields, each a marker ("[=製品名=]", "[=製品ﾊﾞｰｼﾞｮﾝ=]") followed by its value up to the end of its line.
//
// Load reads at most the first 30,000 bytes of the file, from the folder prefix (empty: the current
// directory), into a movable global block; CR LF pairs and 0x1A bytes become NULs, bare LF is no line
// end. A reader loads at most once: when the file is missing or unreadable the block stays and later
// lookups find no field. When the block cannot be allocated, "ﾒﾓﾘが不足しています。" is shown and the next
// lookup tries again.
//
// A lookup answers the value after the first occurrence of the marker, up to the first NUL or the end of
// the file's data, unchanged but cut between characters to at most 255 bytes; an empty text when the
// field is missing or the file could not be loaded. A value that reaches the end of a full block loses a
// last lead byte whose second byte lies beyond what was read.
#pragma once

#include <cstddef>
#include <string>

#include "win32/global_mem.h"
#include "win32/wintypes.h"

class ClSupportInf {
 public:
  static constexpr std::size_t kBlockSize = 30000;
  static constexpr std::size_t kValueSize = 256;

  ClSupportInf() = default;
  virtual ~ClSupportInf();
  ClSupportInf(const ClSupportInf&) = delete;
  ClSupportInf& operator=(const ClSupportInf&) = delete;

  // 1 when the block exists (loaded now or before), 0 when it could not be allocated.
  int Load();
  std::string GetProductName();
  std::string GetProductVersion();

 private:
  std::string Lookup(const std::string& marker);

  win32::HGLOBAL m_hMem = 0;
  char* m_pMem = nullptr;
  char m_szFolder[win32::MAX_PATH + 1] = {};
  std::size_t m_nDataSize = 0;  // bytes read from the file
};
