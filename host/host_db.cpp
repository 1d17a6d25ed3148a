// Opening and reading the host database.
#include "host/host_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/rule.h"
#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/lock_wait.h"
#include "win32/protected_files.h"

namespace host {

namespace {
struct Stmt {
  sqlite3_stmt* s = nullptr;
  ~Stmt() { sqlite3_finalize(s); }
};

std::string DbError(sqlite3* db) { return sqlite3_errmsg(db); }

// The columns the program reads. A required column has no default; an optional one reads as its
// documented default (the DEFAULT of the README's schema, what an older file's rows take when the column
// is added) where the table lacks it.
struct KnownColumn {
  const char* table;
  const char* column;
  const char* fallback;  // an SQL literal; null for a required column
};
constexpr KnownColumn kColumns[] = {
    {"session", "user_id", nullptr},      {"session", "selected_no", nullptr},
    {"session", "selected_no2", nullptr}, {"session", "app_folder", "''"},
    {"session", "settings_folder", "''"}, {"session", "package_name", "''"},
    {"companies", "data_no", nullptr},    {"companies", "data_id", nullptr},
    {"companies", "name", nullptr},       {"companies", "period_start", nullptr},
    {"companies", "period_end", nullptr}, {"companies", "period_option", "0"},
    {"companies", "data_kind", "0"},      {"companies", "tax_included", "0"},
    {"accounts", "data_no", nullptr},     {"accounts", "account_id", nullptr},
    {"accounts", "name", nullptr},        {"accounts", "balance_side", "1"},
    {"accounts", "list_flag", "0"},       {"accounts", "exclude1", "0"},
    {"accounts", "exclude2", "0"},        {"accounts", "attributes", "0"},
    {"totals", "data_no", nullptr},       {"totals", "account_id", nullptr},
    {"totals", "slot", nullptr},          {"totals", "debit_ex", "0"},
    {"totals", "debit_in", "0"},          {"totals", "credit_ex", "0"},
    {"totals", "credit_in", "0"},         {"drives", "name", nullptr},
    {"drives", "type", nullptr},          {"drives", "root", nullptr},
    {"faults", "operation", nullptr},     {"faults", "after", "0"},
    {"faults", "result", nullptr},
};

// A yyyymmdd date of the calendar with a year of four digits at the most.
bool IsPeriodDate(std::int64_t date) {
  return date >= 10101 && date <= 99991231 && IsCalendarDate(static_cast<std::int32_t>(date));
}

// The columns of the companies row the statement stands on, after its data_no, into *c.
bool ReadCompany(sqlite3_stmt* stmt, const std::string& row, Company* c, std::string* error) {
  const char* const t = "companies";
  std::int64_t value = 0;
  if (!HostDb::ReadText(stmt, 1, t, row, "data_id", kMaxDataId, &c->data_id, error, HostDb::TextKind::kKey) ||
      !HostDb::ReadText(stmt, 2, t, row, "name", kMaxCompanyName, &c->name, error))
    return false;
  std::int64_t start = 0, end = 0;
  if (!HostDb::ReadInt(stmt, 3, t, row, "period_start", INT32_MIN, INT32_MAX, &start, error) ||
      !HostDb::ReadInt(stmt, 4, t, row, "period_end", INT32_MIN, INT32_MAX, &end, error))
    return false;
  for (const auto& [column, date] : {std::pair{"period_start", start}, std::pair{"period_end", end}}) {
    if (IsPeriodDate(date)) continue;
    *error = std::string(t) + " row " + row + " column " + column + ": " + std::to_string(date) +
             " is no calendar date (yyyymmdd)";
    return false;
  }
  if (end < start) {
    *error = std::string(t) + " row " + row + " column period_end: " + std::to_string(end) +
             " is before the period's start " + std::to_string(start);
    return false;
  }
  c->period_start = static_cast<std::int32_t>(start);
  c->period_end = static_cast<std::int32_t>(end);
  if (!HostDb::ReadInt(stmt, 5, t, row, "period_option", INT32_MIN, INT32_MAX, &value, error)) return false;
  c->period_option = static_cast<std::int32_t>(value);
  if (!HostDb::ReadInt(stmt, 6, t, row, "data_kind", INT16_MIN, INT16_MAX, &value, error)) return false;
  c->data_kind = static_cast<std::int16_t>(value);
  // NULL: the company has no consumption-tax settings.
  if (sqlite3_column_type(stmt, 7) != SQLITE_NULL) {
    if (!HostDb::ReadInt(stmt, 7, t, row, "tax_included", INT64_MIN, INT64_MAX, &value, error)) return false;
    c->tax_included = value;
  }
  return true;
}
}  // namespace

namespace {
// What outlives a connection: the file's path and the log of the connection's calls; and the open
// connection itself (owned; left to the process's end when it ends without Disconnect).
struct RunState {
  std::string path;
  std::vector<std::string> trace;
  Connection* connection = nullptr;
};

RunState& Run() {
  static RunState run;
  return run;
}
}  // namespace

HostDb& HostDb::Inst() { return Current().db; }

HostDb::~HostDb() { Close(); }

void HostDb::SetPath(std::string linux_path) { Run().path = std::move(linux_path); }

const std::string& HostDb::Path() { return Run().path; }

std::vector<std::string>& HostDb::Trace() { return Run().trace; }

Connection& Current() {
  RunState& run = Run();
  if (run.connection == nullptr) run.connection = new Connection;
  return *run.connection;
}

void HandBack(std::string line, std::string* why) {
  if (why != nullptr) *why = std::move(line);
}

long FailWith(long code, std::string line, std::string* why) {
  HandBack(std::move(line), why);
  return code;
}

bool Connect(std::string* error) {
  Disconnect();
  if (!Current().db.Open(Run().path, error)) {
    Disconnect();
    return false;
  }
  return true;
}

void Disconnect() {
  RunState& run = Run();
  // The connection stays current while it ends: its set objects give their statements back to its pool.
  delete run.connection;
  run.connection = nullptr;
}

void PublishConnection() {
  const HostDb& db = Current().db;
  win32::Drives().Set(db.drives());
  // With the files SQLite keeps beside it (its journal, its write-ahead log and that log's index), made
  // or not yet.
  if (!db.Path().empty())
    for (const char* companion : {"", "-journal", "-wal", "-shm"})
      win32::ProtectFile(std::string("the host database") + companion, db.Path() + companion);
}

std::string HostDb::RowKey(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(stmt, col));
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_TEXT: {
      std::string text = "'";
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      const int n = sqlite3_column_bytes(stmt, col);
      // Printable ASCII only, and not too much of it: the line must stay one readable line.
      for (int i = 0; i < n && i < 32; ++i) text += p[i] >= 0x20 && p[i] < 0x7F ? p[i] : '?';
      return text + (n > 32 ? "...'" : "'");
    }
    case SQLITE_FLOAT: {
      char text[32];
      std::snprintf(text, sizeof text, "%g", sqlite3_column_double(stmt, col));
      return text;
    }
    default:
      return "a blob";
  }
}

bool HostDb::ReadText(sqlite3_stmt* stmt, int col, const char* table, const std::string& row,
                      const char* column, std::size_t max_bytes, std::string* out, std::string* error,
                      TextKind kind) {
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
    *error = where() + ": the text has a character with no Shift_JIS (code page 932) form: " +
             win32::FirstWithoutCp932Form(bytes);
    return false;
  }
  // A name or another text may hold tabs and line breaks, which the report carries as they are; no other
  // control character below 0x20 has a place in an XML document. A key or a folder holds none at all.
  // (No trail byte is below 0x40.)
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && (kind == TextKind::kKey || (b != '\t' && b != '\r' && b != '\n'))) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
      *error = where() + ": the text holds the control character " + code;
      return false;
    }
  }
  if (text.size() > max_bytes) {
    *error = where() + ": " + std::to_string(text.size()) + " bytes, at most " + std::to_string(max_bytes) +
             " allowed";
    return false;
  }
  *out = std::move(text);
  return true;
}

bool HostDb::ReadInt(sqlite3_stmt* stmt, int col, const char* table, const std::string& row,
                     const char* column, std::int64_t min, std::int64_t max, std::int64_t* out,
                     std::string* error) {
  auto where = [&] { return std::string(table) + " row " + row + " column " + column; };
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
      break;
    case SQLITE_NULL:
      *error = where() + ": no value (NULL)";
      return false;
    case SQLITE_FLOAT:
      *error = where() + ": " + RowKey(stmt, col) + " is not a whole number";
      return false;
    case SQLITE_TEXT:
      *error = where() + ": a text where a number is expected";
      return false;
    default:
      *error = where() + ": a blob where a number is expected";
      return false;
  }
  const std::int64_t value = sqlite3_column_int64(stmt, col);
  if (value < min || value > max) {
    *error = where() + ": " + std::to_string(value) + " does not fit its field (" + std::to_string(min) +
             " to " + std::to_string(max) + ")";
    return false;
  }
  *out = value;
  return true;
}

bool HostDb::SelectList(const char* table, std::initializer_list<const char*> columns, std::string* list,
                        std::string* error) const {
  auto read_failed = [&] {
    *error = std::string("reading the columns of ") + table + ": " + DbError(db_);
    return false;
  };
  Stmt exists;
  if (sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", -1, &exists.s,
                         nullptr) != SQLITE_OK)
    return read_failed();
  sqlite3_bind_text(exists.s, 1, table, -1, SQLITE_STATIC);
  const int found = sqlite3_step(exists.s);
  if (found == SQLITE_DONE) {
    *error = std::string("no such table: ") + table;
    return false;
  }
  if (found != SQLITE_ROW) return read_failed();
  // The table's columns, once (SQLite compares column names ignoring ASCII case).
  Stmt st;
  if (sqlite3_prepare_v2(db_, "SELECT lower(name) FROM pragma_table_info(?1)", -1, &st.s, nullptr) !=
      SQLITE_OK)
    return read_failed();
  sqlite3_bind_text(st.s, 1, table, -1, SQLITE_STATIC);
  std::vector<std::string> present;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
    present.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0)));
  if (rc != SQLITE_DONE) return read_failed();
  std::string out;
  for (const char* column : columns) {
    if (!out.empty()) out += ", ";
    if (std::find(present.begin(), present.end(), column) != present.end()) {
      out += column;
      continue;
    }
    const KnownColumn* known = nullptr;
    for (const auto& c : kColumns)
      if (std::strcmp(c.table, table) == 0 && std::strcmp(c.column, column) == 0) known = &c;
    if (known == nullptr || known->fallback == nullptr) {
      *error = std::string("table ") + table + " has no column " + column + ", which is required";
      return false;
    }
    out += std::string(known->fallback) + " AS " + column;
  }
  *list = std::move(out);
  return true;
}

std::string HostDb::Refusal(const std::string& refusal) { return "host database " + Path() + ": " + refusal; }

bool HostDb::HasTable(const char* name) const {
  if (db_ == nullptr) return false;
  Stmt st;
  if (sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1, &st.s,
                         nullptr) != SQLITE_OK)
    return false;
  sqlite3_bind_text(st.s, 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(st.s) == SQLITE_ROW;
}

bool HostDb::Open(const std::string& path, std::string* error) {
  Close();
  if (path.empty()) {
    *error = "no host database given";
    return false;
  }
  // Why the file cannot be read, in the system's words where it has them.
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  std::string reason;
  if (ec)
    reason = ec.message();
  else if (std::filesystem::is_directory(status))
    reason = "a folder, not a file";
  else if (!std::filesystem::is_regular_file(status))
    reason = "not a regular file";
  else if (std::FILE* probe = std::fopen(path.c_str(), "rb"))
    std::fclose(probe);
  else
    reason = std::strerror(errno);
  if (!reason.empty()) {
    *error = "host database " + path + ": " + reason;
    return false;
  }
  path_ = path;
  // One thread uses the connection: without its mutex every value read costs less, which pays for
  // checking each value's type and range as the walk reads it.
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    *error = "host database " + path_ + ": " + (db_ != nullptr ? DbError(db_) : std::string("cannot open"));
    Close();
    return false;
  }
  // Another process writing the accounting data holds its lock for a moment: wait for it.
  sqlite3_busy_timeout(db_, win32::LockWaitMs(kBusyTimeoutMs));
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
  drives_.clear();
  faults_.clear();
  successes_.clear();
}

bool HostDb::PrepareSelect(const char* table, std::initializer_list<const char*> columns, const char* tail,
                           sqlite3_stmt** stmt, std::string* error) const {
  std::string list;
  if (!SelectList(table, columns, &list, error)) return false;
  const std::string sql = "SELECT " + list + " FROM " + table + tail;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, stmt, nullptr) != SQLITE_OK) {
    *error = DbError(db_);
    return false;
  }
  return true;
}

bool HostDb::Load(std::string* error) {
  // The session first: the companies are read against its selection.
  return LoadSession(error) && LoadCompanies(error) && LoadDrives(error) && LoadFaults(error);
}

bool HostDb::LoadSession(std::string* error) {
  // Exactly one row.
  Stmt st;
  if (!PrepareSelect(
          "session",
          {"user_id", "selected_no", "selected_no2", "app_folder", "settings_folder", "package_name"}, "",
          &st.s, error))
    return false;
  std::int64_t value = 0;
  int rows = 0;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    if (++rows > 1) break;
    if (!ReadText(st.s, 0, "session", "1", "user_id", kMaxUserId, &session_.user_id, error, TextKind::kKey) ||
        !ReadInt(st.s, 1, "session", "1", "selected_no", INT32_MIN, INT32_MAX, &value, error))
      return false;
    session_.selected_no = static_cast<std::int32_t>(value);
    if (!ReadInt(st.s, 2, "session", "1", "selected_no2", INT32_MIN, INT32_MAX, &value, error)) return false;
    session_.selected_no2 = static_cast<std::int32_t>(value);
    if (!ReadText(st.s, 3, "session", "1", "app_folder", 259, &session_.app_folder, error, TextKind::kKey) ||
        !ReadText(st.s, 4, "session", "1", "settings_folder", 259, &session_.settings_folder, error,
                  TextKind::kKey) ||
        !ReadText(st.s, 5, "session", "1", "package_name", 259, &session_.package_name, error))
      return false;
  }
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    *error = DbError(db_);
    return false;
  }
  if (rows != 1) {
    *error = rows == 0 ? "the session table has no row" : "the session table has more than one row";
    return false;
  }
  return true;
}

bool HostDb::LoadCompanies(std::string* error) {
  Stmt st;
  if (!PrepareSelect("companies",
                     {"data_no", "data_id", "name", "period_start", "period_end", "period_option",
                      "data_kind", "tax_included"},
                     " ORDER BY data_no", &st.s, error))
    return false;
  std::int64_t value = 0;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    // Every entry's data number is compared with the selection; the rest of an entry is read only for
    // the selected company. Another company's row that does not read stands with its number alone.
    const std::string row = "data_no " + RowKey(st.s, 0);
    if (!ReadInt(st.s, 0, "companies", row, "data_no", INT32_MIN, INT32_MAX, &value, error)) return false;
    Company c;
    c.data_no = static_cast<std::int32_t>(value);
    std::string other_error;
    const bool selected = c.data_no == session_.selected_no2;
    if (!ReadCompany(st.s, row, &c, selected ? error : &other_error)) {
      if (selected) return false;
      c = Company{};
      c.data_no = static_cast<std::int32_t>(value);
    }
    companies_.push_back(std::move(c));
  }
  if (rc != SQLITE_DONE) {
    *error = DbError(db_);
    return false;
  }
  return true;
}

bool HostDb::LoadDrives(std::string* error) {
  // An optional table; a relative root is taken from the file's folder.
  if (!HasTable("drives")) return true;
  Stmt st;
  if (!PrepareSelect("drives", {"name", "type", "root"}, " ORDER BY rowid", &st.s, error)) return false;
  const std::filesystem::path base = std::filesystem::absolute(path_).parent_path();
  std::int64_t value = 0;
  int rc;
  int n = 0;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    ++n;
    win32::DriveEntry e;
    std::string root_cp;
    if (!ReadText(st.s, 0, "drives", std::to_string(n), "name", 259, &e.name, error, TextKind::kKey) ||
        !ReadInt(st.s, 1, "drives", std::to_string(n), "type", INT32_MIN, INT32_MAX, &value, error) ||
        !ReadText(st.s, 2, "drives", std::to_string(n), "root", 4096, &root_cp, error, TextKind::kKey))
      return false;
    std::string root;
    win32::Cp932ToUtf8(root_cp, &root);
    e.type = static_cast<int>(value);
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
    drives_.push_back(std::move(e));
  }
  if (rc != SQLITE_DONE) {
    *error = DbError(db_);
    return false;
  }
  return true;
}

bool HostDb::LoadFaults(std::string* error) {
  // Simulated failures (an optional table).
  if (!HasTable("faults")) return true;
  Stmt st;
  if (!PrepareSelect("faults", {"operation", "after", "result"}, " ORDER BY rowid", &st.s, error))
    return false;
  while (sqlite3_step(st.s) == SQLITE_ROW) {
    const unsigned char* op = sqlite3_column_text(st.s, 0);
    faults_.push_back({op != nullptr ? reinterpret_cast<const char*>(op) : "",
                       static_cast<long>(sqlite3_column_int64(st.s, 1)),
                       static_cast<long>(sqlite3_column_int64(st.s, 2))});
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

std::string HostDb::ReadFailure(const std::string& what) const {
  return "host database " + Path() + ": " + what + ": " + (db_ != nullptr ? DbError(db_) : "not open");
}

bool HostDb::Fault(std::string_view op, long* result) {
  // A file without fault rows (every real one) pays nothing per operation; the counts matter only to
  // fault rows, which are loaded with the file, never after its operations began.
  if (faults_.empty()) return false;
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
