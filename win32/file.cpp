// The framework's file class over POSIX descriptors.
#include "win32/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "win32/drives.h"
#include "win32/mbcs.h"
#include "win32/parent_folder.h"
#include "win32/replace_file.h"
#include "win32/unique_fd.h"

namespace win32 {

namespace {

bool IsSeparatorAt(std::string_view s, std::size_t i) {
  return (s[i] == '\\' || s[i] == '/') && !IsTrailPosition(s, i);
}

bool FolderExists(const std::string& linux_path) {
  struct stat st;
  return ::stat(linux_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file is a bad path when the folder that should hold it is missing too. A name with a trailing
// slash is itself a folder, so when it is missing its folder is.
bool FolderMissing(const std::string& linux_path) {
  return linux_path.back() == '/' || !FolderExists(ParentFolder(linux_path));
}

// A drive root ("C:", "\\srv\share") names no file of its own. Trailing separators are refused before.
bool IsBareRoot(std::string_view path) {
  if (path.size() == 2 && path[1] == ':') return true;
  if (path.size() > 2 && IsSeparatorAt(path, 0) && IsSeparatorAt(path, 1)) {
    int separators = 0;
    for (std::size_t i = 2; i < path.size(); ++i)
      if (IsSeparatorAt(path, i)) ++separators;
    return separators <= 1;
  }
  return false;
}

}  // namespace

int FileCauseFromErrno(int os_error) {
  switch (os_error) {
    case 0:
      return CFileException::none;
    case ENOENT:
      return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case ENXIO:
    case ENODEV:
      return CFileException::badPath;
    case EMFILE:
    case ENFILE:
      return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
    case ETXTBSY:
      return CFileException::accessDenied;
    case EBADF:
      return CFileException::invalidFile;
    case ENOTEMPTY:
      return CFileException::removeCurrentDir;
    case ESPIPE:
      return CFileException::badSeek;
    case EIO:
      return CFileException::hardIO;
    case EWOULDBLOCK:
      return CFileException::sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return CFileException::diskFull;
    default:
      return CFileException::generic;
  }
}

int OpenWithoutBlocking(const std::string& linux_path, int oflags, unsigned mode) {
  struct stat st;
  const bool no_follow = (oflags & O_NOFOLLOW) != 0;
  if ((no_follow ? ::lstat(linux_path.c_str(), &st) : ::stat(linux_path.c_str(), &st)) == 0) {
    if (no_follow && S_ISLNK(st.st_mode)) {
      errno = ELOOP;
      return -1;
    }
    if (IsSpecialMode(st.st_mode)) {
      errno = ENXIO;
      return -1;
    }
  }
  const int fd = ::open(linux_path.c_str(), oflags | O_NONBLOCK | O_NOCTTY, static_cast<mode_t>(mode));
  if (fd < 0) return -1;
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || IsSpecialMode(st.st_mode)) {
    const int e = stated ? ENXIO : errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadRegularFile(const std::string& linux_path, std::string* bytes) {
  const int fd = OpenWithoutBlocking(linux_path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    const int e = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(fd);
    errno = e;
    return false;
  }
  std::string out;
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      errno = e;
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  *bytes = std::move(out);
  return true;
}

bool IsSpecialMode(unsigned mode) {
  return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

bool IsSpecialFile(const char* win_path) {
  std::string linux_path;
  struct stat st;
  if (win_path == nullptr || !Drives().ToLinux(win_path, &linux_path)) return false;
  // The entry, or what a link there leads to (a report is written through a link).
  return (::lstat(linux_path.c_str(), &st) == 0 && IsSpecialMode(st.st_mode)) ||
         (::stat(linux_path.c_str(), &st) == 0 && IsSpecialMode(st.st_mode));
}

namespace {
StFileFailure& FileFailure() {
  static StFileFailure failure;
  return failure;
}
void NoteFileFailure(const std::string& path, int os_error) {
  FileFailure().path = path;
  FileFailure().os_error = os_error;
}
}  // namespace

const StFileFailure& LastFileFailure() { return FileFailure(); }
void ClearLastFileFailure() { FileFailure() = StFileFailure{}; }

CFile::CFile() = default;

CFile::~CFile() { Abort(); }

BOOL CFile::Fail(CFileException* error, int cause, int os_error) const {
  NoteFileFailure(m_strFileName, os_error);
  if (error != nullptr) *error = CFileException(cause, os_error, m_strFileName);
  return FALSE;
}

BOOL CFile::Open(const char* file_name, UINT open_flags, CFileException* error) {
  Abort();
  m_strFileName = file_name != nullptr ? file_name : "";
  // The ANSI file functions take at most MAX_PATH - 1 characters.
  if (m_strFileName.size() >= static_cast<std::size_t>(MAX_PATH))
    return Fail(error, CFileException::badPath, ENAMETOOLONG);
  std::string linux_path;
  if (m_strFileName.empty() || !Drives().ToLinux(m_strFileName, &linux_path))
    return Fail(error, CFileException::badPath, ENOENT);
  if ((open_flags & modeReplace) != 0) return OpenReplacement(linux_path, open_flags, error);
  return OpenPlain(linux_path, open_flags, error);
}

BOOL CFile::OpenReplacement(const std::string& linux_path, UINT open_flags, CFileException* error) {
  if ((open_flags & modeCreate) == 0 || (open_flags & 0x3) != modeWrite)
    return Fail(error, CFileException::generic, EINVAL);
  auto replacement = std::make_unique<ReplacementFile>();
  int e = 0;
  // The report: a folder closed to new files gets it written in place.
  if (!replacement->Begin(linux_path, &e, true)) {
    if (e == ENOENT && FolderMissing(linux_path)) return Fail(error, CFileException::badPath, e);
    return Fail(error, FileCauseFromErrno(e), e);
  }
  m_fd = replacement->Descriptor();
  m_pReplacement = std::move(replacement);
  return TRUE;
}

BOOL CFile::OpenPlain(const std::string& linux_path, UINT open_flags, CFileException* error) {
  int oflags = O_CLOEXEC | O_NOCTTY;
  switch (open_flags & 0x3) {
    case modeWrite:
      oflags |= O_WRONLY;
      break;
    case modeReadWrite:
      oflags |= O_RDWR;
      break;
    default:
      oflags |= O_RDONLY;
      break;
  }
  const bool create = (open_flags & modeCreate) != 0;
  if (create) oflags |= O_CREAT;
  // Truncation waits for the lock below: a file someone else holds must not be emptied.
  UniqueFd fd(OpenWithoutBlocking(linux_path, oflags, 0666));
  if (!fd.Valid()) {
    const int e = errno;
    if (e == ENOENT && (create || FolderMissing(linux_path))) return Fail(error, CFileException::badPath, e);
    return Fail(error, FileCauseFromErrno(e), e);
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) {
    const int e = errno;
    return Fail(error, FileCauseFromErrno(e), e);
  }
  if (S_ISDIR(st.st_mode)) return Fail(error, CFileException::accessDenied, EISDIR);
  if (S_ISREG(st.st_mode)) {
    const UINT share = open_flags & 0x70;
    const bool exclusive = share == shareCompat || share == shareExclusive;
    // A file system without locks (ENOLCK, EOPNOTSUPP) is used without them.
    if (::flock(fd.Get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK)
      return Fail(error, CFileException::sharingViolation, EWOULDBLOCK);
    if (create && (open_flags & modeNoTruncate) == 0 && ::ftruncate(fd.Get(), 0) != 0) {
      const int e = errno;
      return Fail(error, FileCauseFromErrno(e), e);
    }
  }
  m_fd = fd.Release();
  return TRUE;
}

void CFile::Raise(int os_error) const {
  NoteFileFailure(m_strFileName, os_error);
  throw CFileException(FileCauseFromErrno(os_error), os_error, m_strFileName);
}

UINT CFile::Read(void* buf, UINT count) {
  if (m_fd < 0) Raise(EBADF);
  char* p = static_cast<char*>(buf);
  UINT done = 0;
  while (done < count) {
    const ssize_t n = ::read(m_fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Raise(errno);
    }
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

void CFile::Write(const void* buf, UINT count) {
  if (count == 0) return;
  if (m_fd < 0) Raise(EBADF);
  const char* p = static_cast<const char*>(buf);
  std::size_t left = count;
  while (left > 0) {
    const ssize_t n = ::write(m_fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      Raise(errno);
    }
    // No progress at all: the device has no room.
    if (n == 0) Raise(ENOSPC);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

void CFile::Close() {
  if (m_pReplacement) {
    m_fd = -1;
    const auto replacement = std::move(m_pReplacement);
    int e = 0;
    if (!replacement->Commit(&e)) Raise(e);
    return;
  }
  if (m_fd < 0) return;
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 && errno != EINTR) Raise(errno);
}

void CFile::Abort() {
  if (m_pReplacement) {
    m_fd = -1;
    m_pReplacement.reset();  // discards the temporary file
    return;
  }
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
}

BOOL CFile::GetStatus(const char* file_name, CFileStatus& status) {
  if (file_name == nullptr) return FALSE;
  const std::string_view path = file_name;
  if (path.empty() || IsSeparatorAt(path, path.size() - 1) || IsBareRoot(path)) return FALSE;
  std::string linux_path;
  if (!Drives().ToLinux(path, &linux_path)) return FALSE;
  struct stat st;
  // A link whose target is missing is still an entry of the folder, and a file is put in its place.
  if (::stat(linux_path.c_str(), &st) != 0 && ::lstat(linux_path.c_str(), &st) != 0) return FALSE;

  status = CFileStatus();
  status.m_ctime = st.st_ctime;
  status.m_mtime = st.st_mtime;
  status.m_atime = st.st_atime;
  status.m_size = static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size));
  if (S_ISDIR(st.st_mode)) status.m_attribute |= directory;
  if (!S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0) status.m_attribute |= readOnly;

  std::string absolute = linux_path;
  if (absolute.empty() || absolute[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) absolute = std::string(cwd) + "/" + absolute;
  }
  std::string full;
  if (!Drives().ToWindows(absolute, &full)) full = file_name;
  MbsnbCpy(status.m_szFullName, full.c_str(), sizeof status.m_szFullName - 1);
  status.m_szFullName[sizeof status.m_szFullName - 1] = '\0';
  return TRUE;
}

}  // namespace win32
