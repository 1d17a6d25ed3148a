// The program's own texts. Sources are UTF-8; each text is converted to code page 932 once, on first use,
// and the program only ever sees the code page 932 bytes.
#pragma once

#include <string>

namespace res {

enum class TextId {
  kTitle,                 // caption of every message box of the program
  kWritten,               // the run wrote the report
  kWriteFailed,           // the report could not be written
  kEnvInvalid,            // environment check: code -1
  kEnvProductTooOld,      // environment check: code 1
  kEnvComponentTooOld,    // environment check: code 2
  kCancelRun,             // the conditions dialog was cancelled
  kPastData,              // past actual data cannot be linked
  kBadMonthRange,         // the month range is refused
  kNoOutputPath,          // the output path is empty
  kNoFileName,            // the output path names no file
  kBadPathChars,          // the output path holds a refused character
  kBadDrive,              // the output drive is not usable
  kCreateFolderQuestion,  // the output folder does not exist
  kCreateFolderFailed,    // the output folder could not be created
  kOverwriteQuestion,     // the output file exists
  kOutOfMemory,           // the product information block could not be allocated
  kSaveDialogTitle,       // title of the save-as dialog
  kProgressCaption,       // "集計中"
  kProgressFormat,        // "集計中 %d％"
  kDialogCaption,         // caption of the conditions dialog
  kOutputGroupFixed,      // group box text when the path is fixed
  kCompanyFormat,         // " %s"
  kPeriodFormat,          // " %04d/%02d/%02d～%04d/%02d/%02d"
  kProductNameMarker,     // SUPPORT.INF marker of the product name
  kProductVersionMarker,  // SUPPORT.INF marker of the product version
  kVersion,               // string resource 1: the program's version text
  kTooManyChars,          // a text exchanged from an edit is longer than its limit (%d bytes)
  kBadFileNameChars,      // the save-as dialog: a file name without a code page 932 form
  kUnusableOutput,        // the output path names one of the program's own files, a FIFO or a device
  kPathTooLong,           // the output path does not fit a Windows path (260 bytes with its NUL)
  kCount_
};

// The code page 932 form of a text.
const std::string& Text(TextId id);
// The UTF-8 source of a text.
const char* TextUtf8(TextId id);

}  // namespace res
