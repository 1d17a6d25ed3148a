// Opening and reading the host database.
#include "host/host_db.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>

#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/protected_files.h"

namespace host {

namespace {
struct Stmt {
  sqlite3_stmt* s = nullptr;
  ~Stmt() { sqlite3_finalize(s); }
};

std::string DbError(sqlite3* db) { return sqlite3_errmsg(db); }
}  // namespace

HostDb& HostDb::Inst() {
  static HostDb db;
  return db;
}

bool HostDb::ReadText(sqlite3_stmt* stmt, int col, const char* table, const std::string& row,
                      const char* column, std::size_t max_bytes, std::string* out, std::string* error) {
  const int type = sqlite3_column_type(stmt, col);
  auto where = [&] { return std::string(table) + " row " + row + " column " + column; };
  if (type == SQLITE_NULL) {
    *error = where() + ": no text (NULL)";
    return false;
  }
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    *error = where() + ": a number where a text is expected";
    return false;
  }
  const void* data = type == SQLITE_BLOB ? sqlite3_column_blob(stmt, col) : sqlite3_column_text(stmt, col);
  const int n = sqlite3_column_bytes(stmt, col);
  std::string_view bytes(static_cast<const char*>(data) != nullptr ? static_cast<const char*>(data) : "",
                         static_cast<std::size_t>(n));
  std::string text;
  if (type == SQLITE_BLOB) {
    std::string probe;
    if (!win32::Cp932ToUtf8(bytes, &probe)) {
      *error = where() + ": the bytes are not code page 932 text";
      return false;
    }
    text.assign(bytes);
  } else if (!win32::Utf8ToCp932(bytes, &text)) {
    *error = where() + ": the text has a character with no Shift_JIS (code page 932) form";
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    *error = where() + ": the text holds a NUL byte";
    return false;
  }
  if (text.size() > max_bytes) {
    *error = where() + ": " + std::to_string(text.size()) + " bytes, at most " + std::to_string(max_bytes) +
             " allowed";
    return false;
  }
  *out = std::move(text);
  return true;
}

bool HostDb::HasTable(const char* name) const {
  if (db_ == nullptr) return false;
  Stmt st;
  if (sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1, &st.s,
                         nullptr) != SQLITE_OK)
    return false;
  sqlite3_bind_text(st.s, 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(st.s) == SQLITE_ROW;
}

bool HostDb::Open(std::string* error) {
  Close();
  if (path_.empty()) {
    *error = "no host database given";
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path_, ec)) {
    *error = "host database " + path_ + ": no such file";
    return false;
  }
  read_error_.clear();
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    *error = "host database " + path_ + ": " + (db_ != nullptr ? DbError(db_) : std::string("cannot open"));
    Close();
    return false;
  }
  // Another process writing the accounting data holds its lock for a moment: wait for it.
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  win32::ProtectFile("the host database", path_);
  std::string why;
  if (!Load(&why)) {
    *error = "host database " + path_ + ": " + why;
    Close();
    return false;
  }
  return true;
}

void HostDb::Close() {
  // close_v2: statements a rule still holds after a failure are finalized later without leaking the file.
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  session_ = Session{};
  companies_.clear();
  faults_.clear();
  successes_.clear();
}

bool HostDb::Load(std::string* error) {
  // Session: exactly one row.
  {
    Stmt st;
    if (sqlite3_prepare_v2(
            db_,
            "SELECT user_id, selected_no, selected_no2, app_folder, settings_folder, package_name "
            "FROM session",
            -1, &st.s, nullptr) != SQLITE_OK) {
      *error = DbError(db_);
      return false;
    }
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
      if (++rows > 1) break;
      if (!ReadText(st.s, 0, "session", "1", "user_id", kMaxUserId, &session_.user_id, error) ||
          !ReadText(st.s, 3, "session", "1", "app_folder", 259, &session_.app_folder, error) ||
          !ReadText(st.s, 4, "session", "1", "settings_folder", 259, &session_.settings_folder, error) ||
          !ReadText(st.s, 5, "session", "1", "package_name", 259, &session_.package_name, error))
        return false;
      session_.selected_no = sqlite3_column_int(st.s, 1);
      session_.selected_no2 = sqlite3_column_int(st.s, 2);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      *error = DbError(db_);
      return false;
    }
    if (rows != 1) {
      *error = rows == 0 ? "the session table has no row" : "the session table has more than one row";
      return false;
    }
  }
  // Companies.
  {
    Stmt st;
    if (sqlite3_prepare_v2(
            db_,
            "SELECT data_no, data_id, name, period_start, period_end, period_option, data_kind, "
            "tax_included FROM companies ORDER BY data_no",
            -1, &st.s, nullptr) != SQLITE_OK) {
      *error = DbError(db_);
      return false;
    }
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
      Company c;
      c.data_no = sqlite3_column_int(st.s, 0);
      const std::string row = "data_no " + std::to_string(c.data_no);
      if (!ReadText(st.s, 1, "companies", row, "data_id", kMaxDataId, &c.data_id, error) ||
          !ReadText(st.s, 2, "companies", row, "name", kMaxCompanyName, &c.name, error))
        return false;
      c.period_start = sqlite3_column_int(st.s, 3);
      c.period_end = sqlite3_column_int(st.s, 4);
      c.period_option = sqlite3_column_int(st.s, 5);
      c.data_kind = static_cast<std::int16_t>(sqlite3_column_int(st.s, 6));
      if (sqlite3_column_type(st.s, 7) != SQLITE_NULL) c.tax_included = sqlite3_column_int64(st.s, 7);
      companies_.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE) {
      *error = DbError(db_);
      return false;
    }
  }
  // Drive table (optional table).
  std::vector<win32::DriveEntry> drives;
  if (HasTable("drives")) {
    Stmt st;
    if (sqlite3_prepare_v2(db_, "SELECT name, type, root FROM drives ORDER BY rowid", -1, &st.s, nullptr) !=
        SQLITE_OK) {
      *error = DbError(db_);
      return false;
    }
    const std::filesystem::path base = std::filesystem::absolute(path_).parent_path();
    int rc;
    int n = 0;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
      ++n;
      win32::DriveEntry e;
      std::string root_cp;
      if (!ReadText(st.s, 0, "drives", std::to_string(n), "name", 259, &e.name, error) ||
          !ReadText(st.s, 2, "drives", std::to_string(n), "root", 4096, &root_cp, error))
        return false;
      std::string root;
      win32::Cp932ToUtf8(root_cp, &root);
      e.type = sqlite3_column_int(st.s, 1);
      std::filesystem::path p(root);
      if (p.is_relative()) p = base / p;
      e.root = p.lexically_normal().string();
      const bool letter = e.name.size() == 1 && std::isalpha(static_cast<unsigned char>(e.name[0]));
      const bool share = e.name.size() > 4 && e.name[0] == '\\' && e.name[1] == '\\';
      if (!letter && !share) {
        *error =
            "drives row " + std::to_string(n) + " column name: neither a drive letter nor \\\\server\\share";
        return false;
      }
      drives.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE) {
      *error = DbError(db_);
      return false;
    }
  }
  win32::Drives().Set(std::move(drives));
  // Simulated failures (optional table).
  if (HasTable("faults")) {
    Stmt st;
    if (sqlite3_prepare_v2(db_, "SELECT operation, after, result FROM faults ORDER BY rowid", -1, &st.s,
                           nullptr) != SQLITE_OK) {
      *error = DbError(db_);
      return false;
    }
    while (sqlite3_step(st.s) == SQLITE_ROW) {
      const unsigned char* op = sqlite3_column_text(st.s, 0);
      faults_.push_back({op != nullptr ? reinterpret_cast<const char*>(op) : "",
                         static_cast<long>(sqlite3_column_int64(st.s, 1)),
                         static_cast<long>(sqlite3_column_int64(st.s, 2))});
    }
  }
  return true;
}

const Company* HostDb::FindCompanyByNo(std::int32_t data_no) const {
  for (const auto& c : companies_)
    if (c.data_no == data_no) return &c;
  return nullptr;
}

const Company* HostDb::FindCompanyById(std::string_view data_id) const {
  for (const auto& c : companies_)
    if (c.data_id == data_id) return &c;
  return nullptr;
}

void HostDb::NoteReadError(const std::string& what) {
  if (read_error_.empty())
    read_error_ =
        "host database " + path_ + ": " + what + ": " + (db_ != nullptr ? DbError(db_) : "not open");
}

bool HostDb::Fault(std::string_view op, long* result) {
  auto it = successes_.find(op);
  const long done = it == successes_.end() ? 0 : it->second;
  for (const auto& f : faults_) {
    if (f.op == op && done >= f.after) {
      *result = f.result;
      return true;
    }
  }
  CountSuccess(op);
  return false;
}

void HostDb::CountSuccess(std::string_view op, long n) {
  auto it = successes_.find(op);
  if (it == successes_.end())
    successes_.emplace(std::string(op), n);
  else
    it->second += n;
}

}  // namespace host
