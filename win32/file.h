// The file class of the framework and its error: binary files opened by Windows path (code page 932)
// over the drive table.
//
// Contract:
// - Open answers FALSE and fills *error (never throws) when the file cannot be opened. modeCreate creates
//   the file or truncates an existing one to zero length; with modeNoTruncate an existing file keeps its
//   contents; without modeCreate the file must exist.
// - modeReplace (with modeCreate | modeWrite; not one of the framework's flags) writes a replacement:
//   the bytes go to a temporary file beside the path (see win32/replace_file.h), Close puts it in the
//   path's place whole, and Abort or destruction discards it, leaving what was at the path untouched.
//   A link at the path is written through. In a folder closed to new files an existing file that may be
//   written is written in place instead (truncated at Open): then Abort leaves it short.
// - A FIFO, socket or device is never opened (it would block or act): it fails with badPath (ENXIO).
// - Sharing is kept among the users of this class (processes included) with advisory locks on regular
//   files: shareExclusive and shareCompat take an exclusive lock, every other mode a shared one, and an
//   open that cannot take its lock fails with sharingViolation. The lock is taken before a truncation, so
//   a file held by someone else is never emptied.
// - Read and Write raise CFileException (thrown by value) on any failure; Write writes every byte
//   or raises (a short write is retried; no progress, ENOSPC or EFBIG is diskFull). Bytes are written
//   without any translation.
// - Close closes and raises CFileException when the system reports an error (for a replacement also a
//   failing sync or rename); the object is closed afterwards either way. Abort closes and never raises.
//   Destruction aborts.
// - GetStatus answers FALSE for a missing path, a path ending in a backslash and a drive or share root; a
//   folder answers TRUE with the directory attribute. Any entry of the folder exists, a link whose target
//   is missing included.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "win32/wintypes.h"

namespace win32 {

class ReplacementFile;

class CFileException {
 public:
  enum Cause {
    none = 0,
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };
  CFileException() = default;
  CFileException(int cause, long os_error, std::string file_name)
      : m_cause(cause), m_lOsError(os_error), m_strFileName(std::move(file_name)) {}

  int m_cause = none;
  long m_lOsError = 0;        // the errno behind the cause, 0 when none
  std::string m_strFileName;  // the Windows path as given
};

// The last failure of the file class (an Open that failed, or an error raised by an operation): the
// Windows path as given and the errno behind it (0: none since the last clear). A run names it when its
// report could not be written.
struct StFileFailure {
  std::string path;
  int os_error = 0;
};
const StFileFailure& LastFileFailure();
void ClearLastFileFailure();

struct CFileStatus {
  std::time_t m_ctime = 0;
  std::time_t m_mtime = 0;
  std::time_t m_atime = 0;
  std::int32_t m_size = 0;  // low 32 bits of the size
  std::uint8_t m_attribute = 0;
  char m_szFullName[MAX_PATH] = {};
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,  // ignored, as by the framework's plain file class
    typeBinary = 0x8000,
    modeReplace = 0x10000,
  };
  enum Attribute : std::uint8_t {
    normal = 0x00,
    readOnly = 0x01,
    hidden = 0x02,
    system = 0x04,
    volume = 0x08,
    directory = 0x10,
    archive = 0x20,
  };

  CFile();
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  BOOL Open(const char* file_name, UINT open_flags, CFileException* error = nullptr);
  // Bytes read (fewer than count only at the end of the file).
  UINT Read(void* buf, UINT count);
  void Write(const void* buf, UINT count);
  void Close();
  void Abort();
  bool IsOpen() const { return m_fd >= 0; }

  static BOOL GetStatus(const char* file_name, CFileStatus& status);

 private:
  [[noreturn]] void Raise(int os_error) const;
  // Notes the failure of Open as the last one and fills *error (when given); answers FALSE.
  BOOL Fail(CFileException* error, int cause, int os_error) const;
  // Open's two ways: a replacement (modeReplace), or the file itself, locked and truncated as asked.
  BOOL OpenReplacement(const std::string& linux_path, UINT open_flags, CFileException* error);
  BOOL OpenPlain(const std::string& linux_path, UINT open_flags, CFileException* error);

  int m_fd = -1;
  std::string m_strFileName;
  std::unique_ptr<ReplacementFile> m_pReplacement;  // modeReplace
};

// The cause the framework gives an errno value.
int FileCauseFromErrno(int os_error);

// True when a file mode (st_mode) is a FIFO's, a socket's or a device's: files never opened blocking.
bool IsSpecialMode(unsigned mode);
// True when the Windows path names a FIFO, socket or device (the entry itself, or what a link leads to).
bool IsSpecialFile(const char* win_path);

// Opens a Linux path without ever blocking or acting on a FIFO, socket or device: such a file is refused
// with ENXIO before it is opened, and again after (should one have taken the path's place meanwhile).
// With O_NOFOLLOW a link is refused (ELOOP). The descriptor answered is in blocking mode; -1 with errno
// on failure.
int OpenWithoutBlocking(const std::string& linux_path, int oflags, unsigned mode = 0666);

// Reads a whole regular file at a Linux path; false when it is missing, unreadable or not a regular file,
// with errno saying why (EISDIR for a folder, ENXIO for a FIFO, socket or device).
bool ReadRegularFile(const std::string& linux_path, std::string* bytes);

}  // namespace win32
