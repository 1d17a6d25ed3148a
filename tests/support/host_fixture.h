// Host databases for tests, built in a temporary folder from the schema and a few statements.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "win32/drives.h"
#include "win32/ui_port.h"
#include "win32/wintypes.h"

class HostBuilder {
 public:
  // Creates <folder>/host.sqlite with the full schema and, unless bare, one session row selecting
  // company 1 ("D0000001", "テスト商事", 2023-04-01 to 2024-03-31) and drive C: mapped to <folder>/c.
  explicit HostBuilder(const TempDir& dir, bool bare = false);
  ~HostBuilder();
  HostBuilder(const HostBuilder&) = delete;
  HostBuilder& operator=(const HostBuilder&) = delete;

  // Runs SQL; a failing statement fails the test.
  HostBuilder& Exec(const std::string& sql);
  const std::string& path() const { return path_; }
  const std::string& drive_c() const { return drive_c_; }
  sqlite3* db() const { return db_; }

 private:
  std::string path_;
  std::string drive_c_;
  sqlite3* db_ = nullptr;
};

// Opens the host database of the builder as the platform's Initiate does (the connection, then its drive
// table and its file's protection), failing the test on error. An open connection ends first.
void OpenHost(const HostBuilder& host);

// The process-wide state of a run, built for one test and torn down after it: the log of the
// connection's calls starts empty, and on destruction the host connection ends and the drive table and the
// modal port are put back as the guard found them. Declare it after the test's folders and host builder,
// before what uses the connection (a dialog, an aggregator), so that those end first.
class HostGuard {
 public:
  HostGuard();
  ~HostGuard();
  HostGuard(const HostGuard&) = delete;
  HostGuard& operator=(const HostGuard&) = delete;

  // The drive table and the modal port for the rest of the test.
  void UseDrives(std::vector<win32::DriveEntry> drives);
  void UseUi(win32::UiPort* ui);

 private:
  std::vector<win32::DriveEntry> drives_;
  win32::UiPort* ui_ = nullptr;
};

// Listens on the starting window's abstract socket and collects the datagrams. Each listener has a
// window handle of its own (from the process id and a counter), so that tests may run in parallel.
class StarterListener {
 public:
  StarterListener();
  // A listener on a given handle (for tests of the socket name itself).
  explicit StarterListener(win32::HWND handle);
  ~StarterListener();
  StarterListener(const StarterListener&) = delete;
  StarterListener& operator=(const StarterListener&) = delete;
  // Every datagram received so far (waits up to timeout_ms for the first when none is pending).
  std::vector<std::string> Drain(int timeout_ms = 0);
  // The last datagram of Drain(timeout_ms); empty when none came.
  std::string Last(int timeout_ms);
  win32::HWND handle() const { return handle_; }
  // The hand-shake naming this window: "<handle>," followed by the other fields.
  std::string Handshake(const std::string& fields) const { return std::to_string(handle_) + "," + fields; }

 private:
  win32::HWND handle_ = 0;
  int fd_ = -1;
};
