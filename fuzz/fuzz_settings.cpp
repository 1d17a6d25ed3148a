// The settings file's reader and rewrite over arbitrary file contents and keys: a record is found only at
// the start of a line, its path always fits the path buffer and holds no control character (a CR before
// the LF ends the line), the rewrite keeps every other line byte for byte and in order, leaves exactly
// one line for the key (the last), and reads back what it wrote.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conditions/settings_file.h"
#include "fuzz/fuzz_support.h"
#include "host/host_db.h"

using fuzz::Check;

namespace {
std::string g_strFolder;  // Linux folder of drive C:; the settings folder is C:\S

std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < content.size()) {
    std::size_t nl = content.find('\n', i);
    if (nl == std::string::npos) nl = content.size();
    lines.push_back(content.substr(i, nl - i));
    i = nl + 1;
  }
  return lines;
}

// A key part of the fuzz bytes: no line feed and no NUL (the host database gives no such texts to a key).
std::string KeyPart(std::string_view bytes) {
  std::string out;
  for (char c : bytes)
    if (c != '\n' && c != '\0') out.push_back(c);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const fuzz::WorkFile& work = fuzz::MakeWorkFile("host.sqlite");
  g_strFolder = work.linux_path.substr(0, work.linux_path.rfind('/'));
  sqlite3* db = nullptr;
  Check(sqlite3_open(work.linux_path.c_str(), &db) == SQLITE_OK);
  const std::string sql =
      "CREATE TABLE session (user_id TEXT, selected_no INTEGER, selected_no2 INTEGER, app_folder TEXT,"
      " settings_folder TEXT, package_name TEXT);"
      "CREATE TABLE companies (data_no INTEGER PRIMARY KEY, data_id TEXT, name TEXT, period_start INTEGER,"
      " period_end INTEGER, period_option INTEGER, data_kind INTEGER, tax_included INTEGER);"
      "CREATE TABLE drives (name TEXT, type INTEGER, root TEXT);"
      "INSERT INTO session VALUES ('u', 1, 1, '', 'C:\\S', '');"
      "INSERT INTO drives VALUES ('C', 3, '" +
      g_strFolder + "');";
  Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
  sqlite3_close(db);
  host::HostDb::Inst().SetPath(work.linux_path);
  std::string error;
  Check(host::HostDb::Inst().Open(&error));
  Check(mkdir((g_strFolder + "/S").c_str(), 0755) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Layout: user id \x01 data id \x01 path \x01 selected-number byte, tax byte, month byte, file content.
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  std::size_t a = in.find('\x01');
  std::size_t b = a == std::string_view::npos ? a : in.find('\x01', a + 1);
  std::size_t c = b == std::string_view::npos ? b : in.find('\x01', b + 1);
  if (c == std::string_view::npos || c + 4 > in.size()) return 0;
  const std::string user = KeyPart(in.substr(0, a));
  const std::string data_id = KeyPart(in.substr(a + 1, b - a - 1));
  // The path of a record is what follows the value's last slash, and the dialog refuses paths with a
  // slash or a control character: a saved path never holds one.
  std::string new_path;
  for (char ch : KeyPart(in.substr(b + 1, c - b - 1)))
    if (ch != '/' && static_cast<unsigned char>(ch) >= 0x20) new_path.push_back(ch);
  if (new_path.size() > 260) new_path.resize(260);
  const auto selected = static_cast<std::int8_t>(in[c + 1]);
  const auto tax = static_cast<std::int16_t>(in[c + 2] & 1);
  const auto month = static_cast<std::int16_t>(static_cast<unsigned char>(in[c + 3]) % 13);
  const std::string content(in.substr(c + 4));

  const std::string file = g_strFolder + "/S/Halvorack.env";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  Check(f != nullptr);
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);

  ClSettingsFile settings(res::Edition(res::EditionId::kHalvorack), user, selected, data_id);
  const std::string key = settings.MakeKey();
  // Reading: found only for a line that starts with the key; the path always fits its buffer.
  std::int16_t read_tax = -7, read_month = -7;
  char path[261 + 8];
  std::memset(path, 'G', sizeof path);
  const bool found = settings.ReadLastOutput(&read_tax, &read_month, path);
  bool line_with_key = false;
  for (const auto& line : Lines(content))
    line_with_key = line_with_key || line.compare(0, key.size(), key) == 0;
  if (found) {
    Check(line_with_key);
    Check(std::memchr(path, '\0', 261) != nullptr);
    // No control character reaches the path, not even the CR of a CR LF line end.
    for (const char* p = path; *p != '\0'; ++p) Check(static_cast<unsigned char>(*p) >= 0x20);
  } else {
    Check(read_tax == -7 && read_month == -7);
  }
  for (std::size_t i = 261; i < sizeof path; ++i) Check(path[i] == 'G');

  // Rewriting: every other line stays, in order; the key's line is the last and reads back.
  Check(settings.WriteLastOutput(tax, month, new_path.c_str(), ""));
  f = std::fopen(file.c_str(), "rb");
  Check(f != nullptr);
  std::string after;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) after.append(buf, n);
  std::fclose(f);
  std::vector<std::string> kept;
  for (const auto& line : Lines(content))
    if (line.compare(0, key.size(), key) != 0) kept.push_back(line);
  const std::vector<std::string> now = Lines(after);
  Check(!now.empty() && after.back() == '\n');
  Check(now.back() == key + std::to_string(tax) + "/" + std::to_string(month) + "/" + new_path);
  Check(std::vector<std::string>(now.begin(), now.end() - 1) == kept);
  std::int16_t back_tax = -1, back_month = -1;
  char back_path[261];
  Check(settings.ReadLastOutput(&back_tax, &back_month, back_path));
  Check(back_tax == tax && back_month == month && new_path == back_path);
  return 0;
}
