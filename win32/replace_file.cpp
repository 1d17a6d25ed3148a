// Atomic replacement of a file's contents and advisory lock files.
#include "win32/replace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "win32/drives.h"

namespace win32 {

namespace {
std::function<void(const char*)>& Hook() {
  static std::function<void(const char*)> hook;
  return hook;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}
}  // namespace

void SetReplaceHookForTesting(std::function<void(const char* step)> hook) { Hook() = std::move(hook); }

bool ReplaceFileContents(const std::string& win_path, std::string_view bytes) {
  std::string target;
  if (!Drives().ToLinux(win_path, &target)) return false;
  struct stat old {};
  const bool existed = stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return false;
  std::string temp = target + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  if (existed) {
    ok = fchmod(fd, old.st_mode & 07777) == 0;
    // The owner is kept where the process may set it (as root); elsewhere the file becomes the writer's.
    if (ok && fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) ok = false;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    ok = fchmod(fd, 0666 & ~mask) == 0;
  }
  ok = ok && WriteAll(fd, bytes) && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok && Hook()) Hook()("temp-written");
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  if (Hook()) Hook()("renamed");
  // Make the rename itself durable.
  std::string folder =
      target.substr(0, target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/'));
  int dfd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool ReadWholeFile(const std::string& win_path, std::string* bytes) {
  std::string path;
  if (!Drives().ToLinux(win_path, &path)) return false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  std::string out;
  char buf[65536];
  while (true) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  *bytes = std::move(out);
  return true;
}

FileLock::~FileLock() {
  if (m_fd >= 0) close(m_fd);  // closing releases the lock
}

bool FileLock::Acquire(const std::string& win_path) {
  std::string path;
  if (m_fd >= 0 || !Drives().ToLinux(win_path, &path)) return false;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return false;
    }
  }
  m_fd = fd;
  return true;
}

}  // namespace win32
