// The application object: the whole run of the program, from the hand-shake with the starting window to
// the result message posted back to it.
//
// InitInstance connects to the accounting platform, reads the hand-shake, disables the starting window,
// makes the program's folder the current directory, checks the environment, completes the link, finds
// the selected company's record and hands over to the run sequence. ExitInstance follows exactly once,
// whatever happened: it frees the rows, closes the connection and notifies the starting window when the
// hand-shake was read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "aggregation/zandaka.h"
#include "platform/platform.h"
#include "res/edition.h"
#include "win32/wintypes.h"

class ClSetData;
class ClConditionDlg;
class ClRunProgress;

// A run without windows: the conditions dialog is created invisibly and opened as usual, these inputs are
// entered into its controls as a user would, and Execute is pressed once. A refusal, a question
// answered No or a file dialog that would open ends the run as cancelled.
struct StBatchInput {
  bool m_bBatch = false;
  bool m_bHasMonthTo = false;
  std::string m_strMonthTo;  // replaces the month edit's whole text
  int m_nTax = -1;           // -1: as restored or defaulted; 0/1: the check box is clicked when it differs
  bool m_bHasOutput = false;
  std::string m_strOutput;  // replaces the path edit's whole text (code page 932)
  // A relative output path is taken from the folder the program was started in (a user typing it in a
  // shell means that folder): the absolute Linux path it names (UTF-8), empty for an absolute path. The
  // run enters the Windows path that reaches it through the drive table instead of m_strOutput.
  std::string m_strOutputFromShell;
};

// The window object of the starting window: a window of another process, known only by its handle.
struct StStarterWnd {
  win32::HWND m_hWnd = 0;
};

// Result codes of a run.
inline constexpr std::int32_t kResultWritten = 0;
inline constexpr std::int32_t kResultCancelled = 1;
inline constexpr std::int32_t kResultFailed = 2;

class ClLinkApp {
 public:
  explicit ClLinkApp(const res::StEdition& edition);
  virtual ~ClLinkApp();
  ClLinkApp(const ClLinkApp&) = delete;
  ClLinkApp& operator=(const ClLinkApp&) = delete;

  // The argument text after the program's name (the arguments joined by single blanks).
  void SetCommandLine(std::string args) { m_strCmdLine = std::move(args); }

  // TRUE only after the report file was written.
  win32::BOOL InitInstance();
  int ExitInstance();

  // 1 when the text is a hand-shake (three commas at least), else 0. Fields stored before a failing step
  // stay stored. The text is parsed whole, whatever its length.
  int ParseCommandLine(const char* args);
  // Tells the starting window of the parsed hand-shake that the run ended with `result`: brought to the
  // front, enabled again, and the notify message posted with the function id as its wParam.
  void NotifyStarter(std::int32_t result) const;
  // Prepares what a signal (or a fatal error) that ends the run tells the starting window of the parsed
  // hand-shake.
  void PrepareEndingNotice() const;
  // 1 when the selected company's entry was found and copied, else 0 with the record zero-filled.
  int FindSelectedDataInfo(StDATAINFO* info);
  // 1 when the installed product's level fits; else 0, after showing the reason when show is non-zero.
  int CheckEnvironment(int show);

  void SetBatchInput(StBatchInput input) { m_batch = std::move(input); }
  // Where the run shows its progress: the progress window (null, the default), or the console progress
  // on this stream (not owned), as batch runs do on standard error.
  void SetConsoleProgress(std::FILE* stream) { m_pConsoleProgress = stream; }
  const res::StEdition& Edition() const { return m_edition; }
  // Whether InitInstance got as far as the connection (ExitInstance closes it in any case).
  bool Initiated() const { return m_bInitiated; }
  // Why the connection failed (one line), when InitInstance found no host database to read.
  const std::string& StartFailure() const { return m_strStartFailure; }

  std::int32_t m_bStartedByWindow = 0;
  win32::HWND m_hStarterWnd = 0;
  std::uint32_t m_nNotifyMsg = 0;
  std::int16_t m_nFunctionId = 1;
  std::string m_strFixedOutputPath;
  StStarterWnd* m_pStarterWnd = nullptr;
  std::int32_t m_nResult = kResultWritten;
  ClZandakaList m_resultRows;
  ClSetData* m_pDataSet = nullptr;

 protected:
  // The run sequence once the selected company's record is read: the conditions dialog, the progress window,
  // the aggregation, the report, the settings and the final message; its result is InitInstance's.
  virtual win32::BOOL RunSequence(StDATAINFO& info);
  // The dialog's run: modal, or driven by the batch inputs. Answers the dialog's result.
  virtual int RunConditions(ClConditionDlg& dialog);

 private:
  void FreeRows();
  // The program's own folder becomes the current directory, and the files the program depends on (the
  // three editions' executables, the environment and product information files) its own: no report may
  // replace them.
  void EnterProgramFolder() const;
  // The run sequence's steps, in their order: the settings files of every edition made the program's own;
  // the dialog's inputs from the selected company's record and the signed-in user; the aggregation and the
  // report (TRUE when the report is in place); the ending of a written run (the settings saved, the
  // completion message) or of a failed one (the failure message, the result set to failed).
  void ProtectSettingsFiles() const;
  void SetUpConditions(ClConditionDlg& dialog, const StDATAINFO& info);
  win32::BOOL AggregateAndWrite(ClRunProgress& progress, StDATAINFO& info, std::int16_t month_from,
                                std::int16_t month_to, std::int32_t tax, const std::string& out_path);
  void FinishWritten(ClConditionDlg& dialog, ClRunProgress& progress, std::int16_t month_to,
                     const std::string& out_path);
  void FinishFailed(ClRunProgress& progress);
  // After a batch run's dialog refused its input: one line naming the output path it held when the path
  // rules refuse it (the "*.xml" default of a first run, say), and for a Linux path, the Windows path
  // that reaches that file or that no drive does.
  void ExplainRefusedPath(const std::string& path) const;

  const res::StEdition& m_edition;
  std::string m_strCmdLine;
  StStarterWnd m_starterWnd;
  StBatchInput m_batch;
  std::FILE* m_pConsoleProgress = nullptr;
  bool m_bInitiated = false;
  std::string m_strStartFailure;
};
