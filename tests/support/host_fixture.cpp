#include "tests/support/host_fixture.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/host_db.h"
#include "win32/starter.h"

HostBuilder::HostBuilder(const TempDir& dir, bool bare) {
  path_ = dir.Sub("host.sqlite");
  drive_c_ = dir.Sub("c");
  std::filesystem::create_directories(drive_c_);
  if (sqlite3_open(path_.c_str(), &db_) != SQLITE_OK) ADD_FAILURE() << "cannot create " << path_;
  std::ifstream in(std::string(UW_SOURCE_DIR) + "/res/schema.sql");
  std::ostringstream ss;
  ss << in.rdbuf();
  Exec(ss.str());
  if (!bare) {
    Exec(
        "INSERT INTO session VALUES ('user1', 7, 1, 'C:\\Data', 'C:\\Settings', '');"
        "INSERT INTO companies (data_no, data_id, name, period_start, period_end) "
        "VALUES (1, 'D0000001', 'テスト商事', 20230401, 20240331);"
        "INSERT INTO drives VALUES ('C', 3, 'c');");
  }
}

HostBuilder::~HostBuilder() { sqlite3_close(db_); }

HostBuilder& HostBuilder::Exec(const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    ADD_FAILURE() << "SQL failed: " << (err != nullptr ? err : "?") << "\n" << sql;
    sqlite3_free(err);
  }
  return *this;
}

void OpenHost(const HostBuilder& host) {
  host::HostDb::SetPath(host.path());
  std::string error;
  ASSERT_TRUE(host::Connect(&error)) << error;
  host::PublishConnection();
}

HostGuard::HostGuard() : drives_(win32::Drives().Entries()) {
  // The port in use, as set (null for the default): SetUi answers it only by replacing it.
  ui_ = win32::SetUi(nullptr);
  win32::SetUi(ui_);
  host::HostDb::Trace().clear();
}

HostGuard::~HostGuard() {
  host::Disconnect();
  win32::Drives().Set(std::move(drives_));
  win32::SetUi(ui_);
}

void HostGuard::UseDrives(std::vector<win32::DriveEntry> drives) { win32::Drives().Set(std::move(drives)); }

void HostGuard::UseUi(win32::UiPort* ui) { win32::SetUi(ui); }

namespace {
win32::HWND UniqueHandle() {
  // Below 2^31, so that the handle reads the same as a signed 32-bit number.
  static unsigned counter = 0;
  return 0x40000000u | ((static_cast<unsigned>(getpid()) & 0x3FFFFFu) << 8) | (counter++ & 0xFFu);
}
}  // namespace

StarterListener::StarterListener() : StarterListener(UniqueHandle()) {}

StarterListener::StarterListener(win32::HWND handle) : handle_(handle) {
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  const socklen_t len = win32::StarterSocketAddress(handle_, &addr);
  if (len == 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0)
    ADD_FAILURE() << "cannot bind " << win32::StarterSocketName(handle_);
}

StarterListener::~StarterListener() {
  if (fd_ >= 0) close(fd_);
}

std::vector<std::string> StarterListener::Drain(int timeout_ms) {
  std::vector<std::string> out;
  if (fd_ < 0) return out;
  pollfd p{fd_, POLLIN, 0};
  int wait = timeout_ms;
  while (poll(&p, 1, wait) > 0) {
    char buf[512];
    ssize_t n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0) break;
    out.emplace_back(buf, static_cast<std::size_t>(n));
    wait = 0;
  }
  return out;
}

std::string StarterListener::Last(int timeout_ms) {
  const std::vector<std::string> got = Drain(timeout_ms);
  return got.empty() ? std::string() : got.back();
}
