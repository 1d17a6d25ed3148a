// The host database's text reading: a value bound as TEXT (UTF-8), BLOB (code page 932 bytes), NULL or a
// number gives either valid code page 932 of at most the allowed bytes without a byte that XML cannot
// carry (0x00-0x1F other than tab, CR and LF), or a non-empty error naming table, row and column while the
// output is left as it was; and it gives the text exactly when the value has a code page 932 form that meets
// those limits.
//
// Input: byte 0 = kind (low 2 bits: text, blob, null, integer); byte 1 = the most bytes allowed. The
// rest is the value.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "host/host_db.h"
#include "win32/codepage.h"

namespace {

using fuzz::Check;

sqlite3* g_pDb = nullptr;
sqlite3_stmt* g_pStmt = nullptr;

constexpr char kUnset[] = "\x01unset";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Check(sqlite3_open(":memory:", &g_pDb) == SQLITE_OK);
  Check(sqlite3_prepare_v2(g_pDb, "SELECT ?", -1, &g_pStmt, nullptr) == SQLITE_OK);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int kind = data[0] & 3;
  const std::size_t max_bytes = data[1];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

  sqlite3_reset(g_pStmt);
  sqlite3_clear_bindings(g_pStmt);
  int rc = SQLITE_OK;
  switch (kind) {
    case 0:
      rc = sqlite3_bind_text(g_pStmt, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
      break;
    case 1:
      rc = sqlite3_bind_blob(g_pStmt, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
      break;
    case 2:
      rc = sqlite3_bind_null(g_pStmt, 1);
      break;
    default:
      rc = sqlite3_bind_int64(g_pStmt, 1, static_cast<sqlite3_int64>(bytes.size()));
      break;
  }
  Check(rc == SQLITE_OK);
  Check(sqlite3_step(g_pStmt) == SQLITE_ROW);

  std::string out = kUnset;
  std::string error;
  const bool ok = host::HostDb::ReadText(g_pStmt, 0, "accounts", "7", "name", max_bytes, &out, &error);

  // What the value must give: its code page 932 form when it has one that fits.
  std::string cp932;
  bool convertible = false;
  if (kind == 0) {
    convertible = win32::Utf8ToCp932(bytes, &cp932);
  } else if (kind == 1) {
    std::string utf8;
    convertible = win32::Cp932ToUtf8(bytes, &utf8);
    cp932.assign(bytes);
  }
  bool control = false;
  for (char c : cp932)
    control = control || (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n');
  const bool acceptable = convertible && !control && cp932.size() <= max_bytes;
  Check(ok == acceptable);

  if (ok) {
    Check(out == cp932 && out.size() <= max_bytes);
    std::string utf8;
    Check(win32::Cp932ToUtf8(out, &utf8));
  } else {
    Check(out == kUnset);
    Check(!error.empty() && error.find("accounts row 7 column name") != std::string::npos);
  }
  return 0;
}
