// Reading and rewriting the settings file.
#include "conditions/settings_file.h"

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

// The offset of the key at the start of a line of content, or npos.
std::size_t FindKeyLine(const std::string& content, const std::string& key) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    if (content.compare(pos, key.size(), key) == 0) return pos;
    const std::size_t nl = content.find('\n', pos);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return std::string::npos;
}
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
  std::string content;
  if (!win32::ReadWholeFile(FilePath(), &content)) return false;
  const std::string key = MakeKey();
  const std::size_t at = FindKeyLine(content, key);
  if (at == std::string::npos) return false;
  const std::size_t start = at + key.size();
  std::size_t end = content.find('\n', start);
  if (end == std::string::npos) {
    end = content.size();
  } else if (end > start && content[end - 1] == '\r') {
    --end;  // read as a Windows program reads text: a CR before the LF ends the line with it
  }
  const std::string_view value(content.data() + start, end - start);
  // No control character names a path or a number: such a value was never written by this program.
  for (char c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
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
  std::string content;
  if (!win32::ReadWholeFile(file, &content)) {
    // Something that cannot be read (a folder, a FIFO, a file without permission) stands where the file
    // should be: keep it.
    if (win32::FileExistsA(file.c_str())) return fail("the settings file " + shown + " cannot be read");
    content.clear();
  }
  // Every line of the key goes; the new record is appended at the end.
  std::size_t at;
  while ((at = FindKeyLine(content, key)) != std::string::npos) {
    const std::size_t nl = content.find('\n', at);
    content.erase(at, nl == std::string::npos ? std::string::npos : nl - at + 1);
  }
  if (!content.empty() && content.back() != '\n') content += '\n';
  content += line;
  if (!win32::ReplaceFileContents(file, content, &e))
    return fail("the settings file " + shown + " cannot be written: " + std::strerror(e));
  return true;
}
