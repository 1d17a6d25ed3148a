// The settings file: per user and company data, the choices of the last successful run (tax flag, last
// month, output path), one line per key in "<key><tax>/<month>/<path>\n" form, Shift_JIS, LF line ends.
//
// The file is "<edition>.env" in the platform's folder of type 1. Edition 1 keys are "%s/%d/%s:" (user
// id, first selected number, data-ID text), editions 2 and 3 "%s/%s:" (user id, data-ID text).
//
// How this differs from the simple search-and-rewrite the format grew up with, and why:
// - A key matches only at the start of a line. Matching anywhere let one user's record be read for
//   another whose id ends like it, and the rewrite then glued the rest of that line to the next record.
// - The key is never cut, and the file has no size limit: it is read and rewritten in pieces, so that
//   memory stays bounded whatever its size (its records are short lines; a value longer than 1024 bytes
//   was never written by this program and counts as no record).
// - The rewrite goes to a temporary file that replaces the old one by rename, under an advisory lock on
//   "<file>.lock": a run killed at any moment leaves the old file or the new one, whole, and two runs at
//   once both keep their records. The lock is waited for at most kLockWaitMs; the lock file takes the
//   settings file's permission bits, so that in a folder shared by several users whoever may write the
//   settings file may take its lock. Lock and temporary files are created exclusively, never through a
//   link.
// - A FIFO, socket or device at the file's path is never opened: it reads as no record and is not
//   replaced.
// - Lines this program never writes are read safely: a value with fewer than two slashes, whose path
//   does not fit the 260-byte path buffer, or that holds a control character, counts as no record (the
//   dialog then uses its defaults); a last line without a line feed is read up to the end of the file. A
//   line ending in CR LF (written by a Windows editor) is read as a Windows program in text mode reads
//   it: the CR is not part of the value. The rewrite keeps every other line
//   byte for byte (a last line without a line feed gets one, so that the new record stands on its own).
#pragma once

#include <cstdint>
#include <string>

#include "res/edition.h"

class ClSettingsFile {
 public:
  ClSettingsFile(const res::StEdition& edition, std::string user_id, std::int32_t selected_no,
                 std::string data_id);

  // The key of this user and company data.
  std::string MakeKey() const;
  // "<folder of type 1><edition file name>"; the folder part is empty when the platform gives none.
  std::string FilePath() const;

  // True when a record for the key was found; the outputs are written only then. `path` receives at
  // most 260 bytes and a NUL (it must hold 261 bytes).
  bool ReadLastOutput(std::int16_t* tax, std::int16_t* month, char* path) const;
  // Writes the record; without a path (null) it stores `saved_path`, the path read when the dialog
  // opened. False, with the file unchanged and *error (when given) saying why in one line of UTF-8, when
  // the folder of type 1 is empty or cannot be created, the lock is not had within kLockWaitMs, or the
  // file cannot be read or replaced.
  bool WriteLastOutput(std::int16_t tax, std::int16_t month, const char* path, const std::string& saved_path,
                       std::string* error = nullptr) const;

  static constexpr int kLockWaitMs = 10000;

 private:
  const res::StEdition& m_edition;
  std::string m_szUserId;
  std::int32_t m_lSelectedNo;
  std::string m_szDataId;
};
