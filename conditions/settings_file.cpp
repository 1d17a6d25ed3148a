// Reading and rewriting the settings file.
#include "conditions/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "conditions/path_rules.h"
#include "platform/platform.h"
#include "win32/codepage.h"
#include "win32/crt.h"
#include "win32/file_exists.h"
#include "win32/lock_wait.h"
#include "win32/replace_file.h"

namespace {
constexpr std::size_t kPathBytes = 261;
// The most of a record's value that is read: more than any value this program writes (two short numbers
// and a path of at most 260 bytes); a longer one counts as no record.
constexpr std::size_t kValueBytes = 1024;

// Splits the bytes of the file, given in pieces, into the lines that begin with the key and the others,
// handing each line's bytes (its LF included) on as they come: memory stays bounded by the key's length
// whatever the file's size and however long its lines.
class KeyLines {
 public:
  explicit KeyLines(const std::string& key) : m_key(key) {}

  template <class Keyed, class Other>
  void Feed(std::string_view bytes, Keyed keyed, Other other) {
    while (!bytes.empty()) {
      if (m_state == kStart) {
        // The first bytes of a line are held until they show whether it begins with the key.
        const std::size_t want = m_key.size() - m_head.size();
        const std::size_t lf = bytes.substr(0, want).find('\n');
        const std::size_t take = lf == std::string_view::npos ? std::min(want, bytes.size()) : lf;
        m_head.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (m_head.size() < m_key.size() && bytes.empty()) return;
        m_state = m_head == m_key ? kKeyed : kOther;
        if (m_state == kKeyed)
          keyed(std::string_view(m_head), true);
        else
          other(std::string_view(m_head));
        m_head.clear();
      }
      const std::size_t lf = bytes.find('\n');
      const std::size_t n = lf == std::string_view::npos ? bytes.size() : lf + 1;
      if (m_state == kKeyed)
        keyed(bytes.substr(0, n), false);
      else
        other(bytes.substr(0, n));
      bytes.remove_prefix(n);
      if (lf != std::string_view::npos) m_state = kStart;
    }
  }
  // The end of the file: a last line shorter than the key is another line.
  template <class Other>
  void End(Other other) {
    if (m_state == kStart && !m_head.empty()) other(std::string_view(m_head));
    m_head.clear();
  }

 private:
  enum State { kStart, kKeyed, kOther };
  const std::string& m_key;
  std::string m_head;
  State m_state = kStart;
};
}  // namespace

ClSettingsFile::ClSettingsFile(const res::StEdition& edition, std::string user_id, std::int32_t selected_no,
                               std::string data_id)
    : m_edition(edition),
      m_szUserId(std::move(user_id)),
      m_lSelectedNo(selected_no),
      m_szDataId(std::move(data_id)) {}

std::string ClSettingsFile::MakeKey() const {
  if (m_edition.key_has_selected_no)
    return m_szUserId + "/" + std::to_string(m_lSelectedNo) + "/" + m_szDataId + ":";
  return m_szUserId + "/" + m_szDataId + ":";
}

std::string ClSettingsFile::FilePath() const {
  return ClFileMgr::Inst()->GetAppFolderPath(1) + m_edition.settings_file;
}

bool ClSettingsFile::ReadLastOutput(std::int16_t* tax, std::int16_t* month, char* path) const {
  const std::string key = MakeKey();
  // The first line of the key, read up to its LF (at most kValueBytes + 1 bytes of its value are kept),
  // and the file no further.
  KeyLines lines(key);
  std::string record;
  bool found = false, ended = false;
  const int e = win32::ReadFileInPieces(FilePath(), [&](std::string_view piece) {
    lines.Feed(
        piece,
        [&](std::string_view bytes, bool head) {
          if (head) {
            found = true;
            return;
          }
          const std::size_t lf = bytes.find('\n');
          if (record.size() <= kValueBytes)
            record.append(bytes.substr(0, std::min(lf, kValueBytes + 1 - record.size())));
          if (lf != std::string_view::npos) ended = true;
        },
        [](std::string_view) {});
    return !ended;
  });
  if (e != 0 || !found) return false;
  // Read as a Windows program reads text: a CR before the LF ends the line with it.
  if (ended && !record.empty() && record.back() == '\r') record.pop_back();
  if (record.size() > kValueBytes) return false;
  const std::string_view value(record);
  // No control character names a path or a number: such a value was never written by this program.
  // The rule is the dialog's, so that every path it takes is read back.
  for (char c : value)
    if (IsPathControl(c)) return false;
  const std::size_t first = value.find('/');
  const std::size_t last = value.rfind('/');
  if (first == std::string_view::npos || first == last) return false;
  const std::string_view saved = value.substr(last + 1);
  if (saved.size() >= kPathBytes) return false;
  *tax = static_cast<std::int16_t>(win32::Atoi(value.substr(0, first)));
  *month = static_cast<std::int16_t>(win32::Atoi(value.substr(first + 1, last - first - 1)));
  std::memcpy(path, saved.data(), saved.size());
  path[saved.size()] = '\0';
  return true;
}

bool ClSettingsFile::WriteLastOutput(std::int16_t tax, std::int16_t month, const char* path,
                                     const std::string& saved_path, std::string* error) const {
  auto fail = [error](std::string why) {
    if (error != nullptr) *error = std::move(why);
    return false;
  };
  const std::string key = MakeKey();
  std::string line = key + std::to_string(tax) + "/" + std::to_string(month) + "/" +
                     (path != nullptr ? std::string(path) : saved_path) + "\n";
  const std::string folder = ClFileMgr::Inst()->GetAppFolderPath(1);
  if (folder.empty()) return fail("no settings folder is given");
  if (!IsDirPath(folder.c_str()) && !CreateFolderChain(folder.c_str()))
    return fail("the settings folder " + win32::ToUtf8Lossy(folder) + " cannot be created");
  const std::string file = folder + m_edition.settings_file;
  const std::string shown = win32::ToUtf8Lossy(file);

  win32::FileLock lock;
  int e = 0;
  const int wait_ms = win32::LockWaitMs(kLockWaitMs);
  if (!lock.Acquire(file + ".lock", win32::PermissionBitsForNewFile(file), wait_ms, &e)) {
    if (e == EWOULDBLOCK)
      return fail("the settings file " + shown + " is locked by another run (" + shown + ".lock held for " +
                  std::to_string(wait_ms / 1000) + " s)");
    return fail("the lock file " + shown + ".lock cannot be used: " + std::strerror(e));
  }
  // The file is read and rewritten in pieces: every line of the key goes, every other line is kept
  // byte for byte, and the new record is appended at the end.
  bool unreadable = false;
  const bool written = win32::ReplaceFileWith(
      file,
      [&](const win32::ByteSink& sink) {
        KeyLines lines(key);
        char last = '\n';
        bool ok = true;
        auto keep = [&](std::string_view bytes) {
          if (bytes.empty() || !ok) return;
          last = bytes.back();
          ok = sink(bytes);
        };
        const int r = win32::ReadFileInPieces(file, [&](std::string_view piece) {
          lines.Feed(
              piece, [](std::string_view, bool) {}, keep);
          return ok;
        });
        // Something that cannot be read (a folder, a FIFO, a file without permission) stands where the
        // file should be: keep it.
        if (r != 0 && (r != ENOENT || win32::FileExistsA(file.c_str()))) {
          unreadable = true;
          return r;
        }
        lines.End(keep);
        if (last != '\n') keep("\n");
        keep(line);
        return ok ? 0 : EIO;
      },
      &e);
  if (unreadable) return fail("the settings file " + shown + " cannot be read");
  if (!written) return fail("the settings file " + shown + " cannot be written: " + std::strerror(e));
  return true;
}
