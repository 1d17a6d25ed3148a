// The host database: one SQLite file that holds what the accounting product knows (the session, the
// company data entries, the account master, the totals, the consumption-tax settings, the drive table)
// and a table of simulated platform failures for tests. The schema is documented in the README.
//
// Values are checked where they enter, and a value that does not fit its field or its meaning is refused
// with one line naming table, row and column, never cut, wrapped or dropped:
// - Texts: a TEXT column is UTF-8 and is converted to code page 932; a BLOB is taken as code page 932
//   bytes. A text with no code page 932 form, longer than the platform's record can hold, or holding a
//   byte below 0x20 that XML cannot carry (any but tab, CR and LF; a key or a folder none) is refused.
// - Numbers: an integer column holds a whole number within its field (a signed 32-bit id, a byte-sized
//   flag, ...); NULL, a text, a real number or a blob is refused, and so is a period date that is no
//   calendar date or a period that ends before it starts.
// - Columns: each table has required columns and optional ones (README). A missing required column is
//   refused by name; a missing optional column reads as its documented default.
// Session, companies, drives and faults are read and checked when the file is opened (of the companies,
// every data_no and the selected company's other columns); accounts and totals while an aggregation
// walks them, whose refusal the failing platform call hands back to its caller.
//
// The host side's state of a run has one owner, the Connection: Connect (the platform's Initiate) makes
// it, Disconnect (Terminate) ends it. It owns the open database, the account master's statement pool and
// the platform's set objects with their cursors. What outlives a connection (the file's path and the log
// of the connection's calls) is the run's, kept beside it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/master_stmt_pool.h"
#include "platform/platform.h"
#include "platform/shohizei.h"
#include "win32/drives.h"

struct sqlite3;
struct sqlite3_stmt;

namespace host {

struct Session {
  std::string user_id;  // code page 932, at most 64 bytes
  std::int32_t selected_no = 0;
  std::int32_t selected_no2 = 0;
  std::string app_folder;       // Windows path, code page 932
  std::string settings_folder;  // Windows path, code page 932
  std::string package_name;     // code page 932
};

struct Company {
  std::int32_t data_no = 0;
  std::string data_id;  // at most 15 bytes
  std::string name;     // at most 259 bytes
  std::int32_t period_start = 0;
  std::int32_t period_end = 0;
  std::int32_t period_option = 0;
  std::int16_t data_kind = 0;
  std::optional<std::int64_t> tax_included;  // none: the company has no tax settings
};

inline constexpr std::size_t kMaxUserId = 64;
inline constexpr std::size_t kMaxDataId = 15;
inline constexpr std::size_t kMaxCompanyName = 259;

class HostDb {
 public:
  HostDb() = default;
  ~HostDb();
  HostDb(const HostDb&) = delete;
  HostDb& operator=(const HostDb&) = delete;

  // The database of the open connection; when none is open, a closed one that reads as empty.
  static HostDb& Inst();

  // The Linux path of the file that Connect opens (the run's: it outlives every connection).
  static void SetPath(std::string linux_path);
  static const std::string& Path();

  // Opens the file read-only and reads the session, the companies, the drive table and the faults. On
  // failure *error holds one line naming the file and the cause. A lock that another process holds on the
  // file is waited for up to kBusyTimeoutMs, here and in every later read. Touches nothing outside this
  // object: the drive table is handed out by drives().
  bool Open(const std::string& path, std::string* error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  sqlite3* Handle() const { return db_; }

  const Session& session() const { return session_; }
  const std::vector<Company>& companies() const { return companies_; }
  // The file's drive table, roots made absolute against the file's folder (empty without the table).
  const std::vector<win32::DriveEntry>& drives() const { return drives_; }
  const Company* FindCompanyByNo(std::int32_t data_no) const;
  const Company* FindCompanyById(std::string_view data_id) const;
  bool HasTable(const char* name) const;

  // The lines a failing platform call hands back: a failure to read the database ("host database
  // <file>: <what>: <the database's cause>") and a value refused ("host database <file>: <table> row
  // <row> column <column>: <why>").
  std::string ReadFailure(const std::string& what) const;
  static std::string Refusal(const std::string& refusal);

  static constexpr int kBusyTimeoutMs = 5000;

  // Simulated failures: answers true with the row's result when operation `op` must fail now (a row
  // whose `after` calls of the operation have succeeded); otherwise counts one success.
  bool Fault(std::string_view op, long* result);
  // Counts `n` successes of op at once (MoveNext counts delivered rows).
  void CountSuccess(std::string_view op, long n = 1);

  // What a text may hold: a name or another text shown or written into the report may hold tabs, CR
  // and LF (as the report carries them); a key (user, company id) or a folder holds no control
  // character. Neither holds another byte below 0x20; 0x7F is an ordinary character.
  enum class TextKind { kText, kKey };
  // Reads a text column as code page 932 (TEXT converted from UTF-8, BLOB raw). On failure *error
  // names table, row and column and *out is unchanged.
  static bool ReadText(sqlite3_stmt* stmt, int col, const char* table, const std::string& row,
                       const char* column, std::size_t max_bytes, std::string* out, std::string* error,
                       TextKind kind = TextKind::kText);
  // Reads an integer column whose value must lie in [min, max]. On failure *error names table, row and
  // column and *out is unchanged.
  static bool ReadInt(sqlite3_stmt* stmt, int col, const char* table, const std::string& row,
                      const char* column, std::int64_t min, std::int64_t max, std::int64_t* out,
                      std::string* error);
  // A value as it stands in the file, to name a row by its key: the number, a text (printable ASCII,
  // shortened) in quotes, or the kind of value.
  static std::string RowKey(sqlite3_stmt* stmt, int col);
  // The select list for these columns of a table: each present column by name, a missing optional one
  // as its documented default. False with *error naming the missing table or required column, or why
  // the table could not be read.
  bool SelectList(const char* table, std::initializer_list<const char*> columns, std::string* list,
                  std::string* error) const;

  // Log of the connection's calls in order ("Initiate", "ExpSysLink", "LogOut", ...), for tests (the
  // run's: it outlives every connection).
  static std::vector<std::string>& Trace();

 private:
  bool Load(std::string* error);
  // The reads of Load, one table each.
  bool LoadSession(std::string* error);
  bool LoadCompanies(std::string* error);
  bool LoadDrives(std::string* error);
  bool LoadFaults(std::string* error);
  // Prepares "SELECT <the columns> FROM <table><tail>" into *stmt (SelectList's defaults included).
  bool PrepareSelect(const char* table, std::initializer_list<const char*> columns, const char* tail,
                     sqlite3_stmt** stmt, std::string* error) const;

  std::string path_;  // of the file open now
  sqlite3* db_ = nullptr;
  Session session_;
  std::vector<Company> companies_;
  std::vector<win32::DriveEntry> drives_;
  struct FaultRow {
    std::string op;
    long after;
    long result;
  };
  std::vector<FaultRow> faults_;
  std::map<std::string, long, std::less<>> successes_;
};

// One connection to the accounting platform: the open database, the account master's statement pool and
// the platform's set objects, whose cursors and chosen companies end with it. Members end in reverse
// order: the set objects give their statements back before the pool and the database close.
struct Connection {
  HostDb db;
  struct Pool : MasterStmtPool {
    ~Pool() { Flush(); }
  } master_stmts;
  ClSetData data;
  ClSetKamoku kamoku;
  ClSetShohizei shohizei;

  Connection() = default;
  ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
};

// Hands a failure's line (HostDb::ReadFailure, HostDb::Refusal, Connect's error) to the caller of the
// platform call that failed: *why receives it when `why` is not null.
void HandBack(std::string line, std::string* why);
// HandBack, answering the failure's code.
long FailWith(long code, std::string line, std::string* why);

// Ends any open connection and opens a new one on HostDb::Path(); on failure *error says why in one
// line and the failed connection is ended. Touches nothing outside the host side:
// PublishConnection hands the drive table and the file's protection to the Windows stand-in.
bool Connect(std::string* error);
// Ends the open connection (its cursors, statements and set objects); the path and the log stay.
void Disconnect();
// The open connection; when none is open, an idle one on a closed database (made on first use, ended by
// Disconnect).
Connection& Current();
// What the start-up sets from the open connection: the drive table (win32::Drives()) and the host
// database's file among those the report must never replace.
void PublishConnection();

}  // namespace host
