// Whole-file replacement through a temporary file and rename, the clean-up of stale temporary files, and
// advisory lock files.
#include "win32/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <thread>

#include "win32/drives.h"
#include "win32/file.h"
#include "win32/parent_folder.h"
#include "win32/signals.h"

namespace win32 {

namespace {
std::function<int(const char*)>& Hook() {
  static std::function<int(const char*)> hook;
  return hook;
}

// The errno a test injects into a commit step (0: none); a test may also stop the process there.
int Step(const char* step) {
  TestStop((std::string("replace-") + step).c_str());
  return Hook() ? Hook()(step) : 0;
}

// The folder that holds a Linux path, with a slash to append a name to.
std::string FolderWithSlash(const std::string& path) {
  const std::string folder = ParentFolder(path);
  return folder == "/" ? folder : folder + "/";
}

std::string RandomHex() {
  std::random_device device;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool WriteAll(int fd, std::string_view bytes, int* error) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}
}  // namespace

bool FollowLinks(std::string path, std::string* followed, int* error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *followed = path;
      return true;
    }
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), to.data(), to.size());
    if (n < 0) {
      *error = errno;
      return false;
    }
    to.resize(static_cast<std::size_t>(n));
    path = !to.empty() && to[0] == '/' ? to : FolderWithSlash(path) + to;
  }
  *error = ELOOP;
  return false;
}

void SetReplaceHookForTesting(std::function<int(const char* step)> hook) { Hook() = std::move(hook); }

bool IsTempFileName(std::string_view name) {
  if (name.size() <= kTempPrefix.size() + kTempSuffix.size() ||
      name.substr(0, kTempPrefix.size()) != kTempPrefix ||
      name.substr(name.size() - kTempSuffix.size()) != kTempSuffix)
    return false;
  name = name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 10 || name[0] == '0' ||
      name.size() - dash - 1 != 16)
    return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    if (i < dash ? !digit : i > dash && !digit && (c < 'a' || c > 'f')) return false;
  }
  return true;
}

ReplacementFile::~ReplacementFile() { Discard(); }

bool ReplacementFile::Begin(const std::string& link_or_target, int* error, bool in_place_allowed) {
  Discard();
  auto fail = [&](int e) {
    if (error != nullptr) *error = e;
    Discard();
    return false;
  };
  if (link_or_target.empty() || link_or_target.back() == '/') return fail(EISDIR);
  std::string target;
  int e = 0;
  if (!FollowLinks(link_or_target, &target, &e)) return fail(e);
  struct stat old {};
  bool existed = false;
  if (lstat(target.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) return fail(EISDIR);
    if (IsSpecialMode(old.st_mode)) return fail(ENXIO);
    existed = S_ISREG(old.st_mode);
    if (existed && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return fail(errno);
  } else if (errno != ENOENT) {
    return fail(errno);
  }
  const std::string folder = FolderWithSlash(target);
  RemoveStaleTempFiles(folder);

  const std::string stem = folder + std::string(kTempPrefix) + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
    const std::string temp = stem + RandomHex() + std::string(kTempSuffix);
    SignalsBlocked blocked;
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      // A folder closed to new files, with a file in it that may be written: that file is written.
      if ((errno == EACCES || errno == EPERM) && existed && in_place_allowed)
        return BeginInPlace(target, error);
      return fail(errno);
    }
    m_fd = fd;
    m_strTemp = temp;
    m_nSlot = RegisterTempFile(temp);
  }
  if (m_fd < 0) return fail(EEXIST);
  if (!SettleTempFile(existed, old, &e)) return fail(e);
  m_strTarget = target;
  assert(m_fd >= 0 && !m_strTemp.empty());
  return true;
}

bool ReplacementFile::SettleTempFile(bool existed, const struct stat& old, int* error) {
  // The lock tells the clean-up of other writers that this one lives, until its file is in place; a
  // folder without locks does without. It is held on a descriptor of its own, so that closing the
  // written one (which reports late write errors) comes before the rename without unlocking the file.
  // For writing where allowed, as a network file system locks only such descriptors.
  m_lockFd = open(m_strTemp.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  struct stat made {
  }, opened{};
  if (m_lockFd < 0 || fstat(m_fd, &made) != 0 || fstat(m_lockFd, &opened) != 0 ||
      made.st_dev != opened.st_dev || made.st_ino != opened.st_ino) {
    *error = m_lockFd < 0 ? errno : EEXIST;
    return false;
  }
  flock(m_lockFd, LOCK_EX | LOCK_NB);
  if (existed && (old.st_uid != geteuid() || old.st_gid != getegid())) {
    // The owner where the process may set it (as root), else at least the group where it is a member.
    if (fchown(m_fd, old.st_uid, old.st_gid) != 0) {
      if (errno != EPERM || (fchown(m_fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM)) {
        *error = errno;
        return false;
      }
    }
  }
  // After the owner: a change of owner clears the set-id bits.
  const mode_t mode = existed ? old.st_mode & 07777 : 0666 & ~CurrentUmask();
  if (fchmod(m_fd, mode) == 0) return true;
  *error = errno;
  return false;
}

bool ReplacementFile::BeginInPlace(const std::string& target, int* error) {
  auto fail = [&](int e) {
    if (error != nullptr) *error = e;
    Discard();
    return false;
  };
  const int fd = OpenWithoutBlocking(target, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  m_fd = fd;
  m_bInPlace = true;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(EISDIR);
  // Another writer of the file holds it: it is not emptied under that writer.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return fail(EWOULDBLOCK);
  if (ftruncate(fd, 0) != 0) return fail(errno);
  m_strTarget = target;
  return true;
}

bool ReplacementFile::Commit(int* error) {
  auto fail = [&](int e) {
    if (error != nullptr) *error = e;
    Discard();
    return false;
  };
  if (m_fd < 0) return fail(EBADF);
  assert(!m_strTarget.empty() && (m_bInPlace || !m_strTemp.empty()) && "Commit follows a successful Begin");
  int e = Step("fsync");
  if (e == 0 && fsync(m_fd) != 0) e = errno;
  if (e != 0) return fail(e);
  e = Step("close");
  const int fd = m_fd;
  m_fd = -1;
  if (close(fd) != 0 && errno != EINTR && e == 0) e = errno;
  if (e != 0) return fail(e);
  if (m_bInPlace) {
    m_bInPlace = false;
    return true;
  }
  e = Step("rename");
  {
    SignalsBlocked blocked;
    if (e == 0 && rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) e = errno;
    if (e == 0) {
      // In place: no longer a temporary file, so its lock may go.
      if (m_lockFd >= 0) close(m_lockFd);
      m_lockFd = -1;
      TempFileInPlace(m_nSlot);
      m_nSlot = -1;
      m_strTemp.clear();
    }
  }
  if (e != 0) return fail(e);
  // The rename itself made durable. A folder that cannot be opened for reading cannot be synced; a file
  // system that cannot sync folders (EINVAL) needs none.
  e = Step("fsync-folder");
  if (e == 0) {
    const std::string folder = FolderWithSlash(m_strTarget);
    const int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      if (fsync(dfd) != 0 && errno != EINVAL) e = errno;
      close(dfd);
    }
  }
  assert(m_fd < 0 && m_strTemp.empty() && m_nSlot < 0 && "after the rename nothing is left to discard");
  if (e != 0 && error != nullptr) *error = e;
  return e == 0;
}

void ReplacementFile::Discard() {
  SignalsBlocked blocked;
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_bInPlace = false;
  if (!m_strTemp.empty()) unlink(m_strTemp.c_str());
  m_strTemp.clear();
  // After the unlink: no clean-up of another run meets the file unlocked.
  if (m_lockFd >= 0) close(m_lockFd);
  m_lockFd = -1;
  UnregisterTempFile(m_nSlot);
  m_nSlot = -1;
  assert(m_fd < 0 && m_strTemp.empty() && m_nSlot < 0);
}

int RemoveStaleTempFiles(const std::string& folder, long max_age_seconds) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  const int dfd = dirfd(dir);
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    if (!IsTempFileName(entry->d_name)) continue;
    struct stat st {};
    if (fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        now - st.st_mtime <= max_age_seconds)
      continue;
    // For writing where allowed, as a network file system locks only such descriptors.
    int fd = openat(dfd, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) fd = openat(dfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat opened {};
    // Its writer is gone when its lock is free.
    if (fstat(fd, &opened) == 0 && opened.st_dev == st.st_dev && opened.st_ino == st.st_ino &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && unlinkat(dfd, entry->d_name, 0) == 0)
      ++removed;
    close(fd);
  }
  closedir(dir);
  return removed;
}

unsigned PermissionBitsForNewFile(const std::string& win_path) {
  std::string path;
  struct stat st {};
  if (Drives().ToLinux(win_path, &path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    return st.st_mode & 0777;
  return 0666 & ~CurrentUmask();
}

int ReadFileInPieces(const std::string& win_path, const ByteSink& piece) {
  std::string path;
  if (!Drives().ToLinux(win_path, &path)) return ENOENT;
  const int fd = OpenWithoutBlocking(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  int e = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
  std::string buf(65536, '\0');
  while (e == 0) {
    const ssize_t n = read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) e = errno;
    if (n <= 0 || !piece(std::string_view(buf.data(), static_cast<std::size_t>(n)))) break;
  }
  close(fd);
  return e;
}

bool ReplaceFileWith(const std::string& win_path, const std::function<int(const ByteSink& sink)>& fill,
                     int* error) {
  int e = ENOENT;
  std::string target;
  ReplacementFile file;
  bool ok = Drives().ToLinux(win_path, &target) && file.Begin(target, &e);
  if (ok) {
    std::string buffer;
    int write_error = 0;
    auto flush = [&] {
      const bool written = write_error == 0 && WriteAll(file.Descriptor(), buffer, &write_error);
      buffer.clear();
      return written;
    };
    const ByteSink sink = [&](std::string_view bytes) {
      buffer.append(bytes);
      return buffer.size() < 65536 || flush();
    };
    const int filled = fill(sink);
    e = write_error != 0 ? write_error : filled;
    ok = e == 0 && flush() && file.Commit(&e);
    if (!ok && e == 0) e = write_error != 0 ? write_error : EIO;
  }
  if (!ok && error != nullptr) *error = e;
  return ok;
}

FileLock::~FileLock() {
  if (m_fd >= 0) close(m_fd);  // closing releases the lock
}

bool FileLock::Acquire(const std::string& win_path, unsigned mode, int timeout_ms, int* error) {
  auto fail = [&](int e) {
    if (error != nullptr) *error = e;
    return false;
  };
  std::string path;
  if (m_fd >= 0) return fail(EBUSY);
  if (!Drives().ToLinux(win_path, &path)) return fail(ENOENT);
  // Opened for writing where the bits allow (a network file system locks only such descriptors), else
  // for reading, which a local one locks as well: a lock file made by an older run with fewer bits
  // still serves.
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    fd = OpenWithoutBlocking(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = OpenWithoutBlocking(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) break;
    if (errno != ENOENT) return fail(errno);
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
      // The guarded file's bits, whatever the umask.
      if (fchmod(fd, static_cast<mode_t>(mode & 0777)) != 0) {
        const int e = errno;
        close(fd);
        return fail(e);
      }
      break;
    }
    if (errno != EEXIST) return fail(errno);
  }
  if (fd < 0) return fail(EEXIST);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return fail(e);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  m_fd = fd;
  return true;
}

}  // namespace win32
