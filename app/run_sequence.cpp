// The run sequence: from the conditions dialog to the report file and the final message.
#include <cstdio>
#include <cstring>
#include <memory>

#include "aggregation/balance_aggregator.h"
#include "aggregation/period.h"
#include "app/console_progress.h"
#include "app/link_app.h"
#include "app/progress_dlg.h"
#include "conditions/condition_dlg.h"
#include "conditions/path_rules.h"
#include "conditions/settings_file.h"
#include "report/report_writer.h"
#include "res/texts.h"
#include "ui/application.h"
#include "win32/codepage.h"
#include "win32/crt.h"
#include "win32/drives.h"
#include "win32/file.h"
#include "win32/protected_files.h"
#include "win32/signals.h"
#include "win32/ui_port.h"

using namespace win32;

namespace {
constexpr int kIdCancelled = 1003;

// " %04d/%02d/%02d～%04d/%02d/%02d" of the period's first and last day.
std::string PeriodText(std::int32_t start, std::int32_t end) {
  char text[128];
  std::snprintf(text, sizeof text, res::Text(res::TextId::kPeriodFormat).c_str(), start / 10000,
                (start % 10000) / 100, start % 100, end / 10000, (end % 10000) / 100, end % 100);
  return text;
}
// The Linux path of a Windows path (UTF-8), or the Windows path itself when no drive reaches it.
std::string LinuxPathOf(const std::string& windows) {
  std::string linux_path;
  return Drives().ToLinux(windows, &linux_path) ? linux_path : ToUtf8Lossy(windows);
}
}  // namespace

int ClLinkApp::RunConditions(ClConditionDlg& dialog) {
  if (!m_batch.m_bBatch) return dialog.DoModal();
  if (!dialog.CreateHidden()) return kIdCancelled;
  TestStop("dialog");
  if (!dialog.IsEnded()) {
    std::string output = m_batch.m_strOutput;
    if (!m_batch.m_strOutputFromShell.empty() && !Drives().ToWindows(m_batch.m_strOutputFromShell, &output)) {
      std::fprintf(stderr, "%s: no drive reaches %s: give --output as a Windows path\n", m_edition.program,
                   m_batch.m_strOutputFromShell.c_str());
      dialog.DestroyWindow();
      return kIdCancelled;
    }
    if (m_batch.m_bHasMonthTo) dialog.SetDlgItemText(ClConditionDlg::kIdMonthTo, m_batch.m_strMonthTo);
    if (m_batch.m_bHasOutput) dialog.SetDlgItemText(ClConditionDlg::kIdPath, output);
    if (m_batch.m_nTax >= 0 &&
        (dialog.IsDlgButtonChecked(ClConditionDlg::kIdTax) != 0) != (m_batch.m_nTax == 1))
      dialog.ClickButton(ClConditionDlg::kIdTax);
    dialog.ClickButton(ClConditionDlg::kIdExecute);
  }
  // A dialog still open after Execute refused the input (or asked a question answered No, or wanted a
  // file chosen): the run ends as cancelled, without the cancel message.
  const int result = dialog.IsEnded() ? dialog.Result() : kIdCancelled;
  if (!dialog.IsEnded()) ExplainRefusedPath(dialog.GetDlgItemText(ClConditionDlg::kIdPath));
  dialog.DestroyWindow();
  return result;
}

void ClLinkApp::ExplainRefusedPath(const std::string& path) const {
  const std::string shown = ToUtf8Lossy(path);
  if (!path.empty() && path[0] == '/') {
    std::string windows;
    if (Drives().ToWindows(shown, &windows))
      std::fprintf(stderr, "%s: %s is a Linux path; the Windows path of that file is %s\n", m_edition.program,
                   shown.c_str(), ToUtf8Lossy(windows).c_str());
    else
      std::fprintf(stderr, "%s: %s is a Linux path, and no drive reaches it\n", m_edition.program,
                   shown.c_str());
  } else if (!CheckPathChars(path)) {
    std::fprintf(stderr, "%s: the output path refused: %s\n", m_edition.program, shown.c_str());
  }
}

void ClLinkApp::ProtectSettingsFiles() const {
  // The settings files of all three editions (they share the settings folder) and their locks are the
  // program's own: no report may replace them.
  for (const res::EditionId id :
       {res::EditionId::kHalvorack, res::EditionId::kDremmick, res::EditionId::kFennowal}) {
    const res::StEdition& edition = res::Edition(id);
    const std::string settings = ClSettingsFile(edition, "", 0, "").FilePath();
    ProtectWindowsFile(std::string("the settings file ") + edition.settings_file, settings);
    ProtectWindowsFile(std::string("the settings lock ") + edition.settings_file, settings + ".lock");
  }
}

void ClLinkApp::SetUpConditions(ClConditionDlg& dialog, const StDATAINFO& info) {
  ClSysUser* user = ClDataMgr::Inst()->GetSysUserObject();
  user->GetCurUserID(dialog.m_szUserId);
  user->GetSelectedNo(dialog.m_szUserId, &dialog.m_lSelectedNo, &dialog.m_lSelectedNo2);
  if (m_pDataSet == nullptr) m_pDataSet = static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1));
  if (m_pDataSet != nullptr) ClUtyDBHpr::Inst()->MakeIDStr(m_pDataSet->GetSelectedInfo(), dialog.m_szDataId);
  dialog.m_bPastData = info.DataKind == kDataKindPastActual ? 1 : 0;
  dialog.m_strFixedPath.clear();
  if (m_bStartedByWindow == 1) dialog.m_strFixedPath = m_strFixedOutputPath;
  dialog.m_lPeriodStart = info.PeriodStart;
  dialog.m_lPeriodEnd = info.PeriodEnd;
  // The texts are shown whole, whatever the length of the company name.
  // (Built in a local and moved: GCC 12 at -O3 reports a false -Wrestrict when a literal is assigned
  // or prepended to the member.)
  std::string company(1, ' ');
  company.append(info.CompanyName, strnlen(info.CompanyName, sizeof info.CompanyName));
  dialog.m_strCompany = std::move(company);
  dialog.m_strPeriod = PeriodText(info.PeriodStart, info.PeriodEnd);
}

BOOL ClLinkApp::AggregateAndWrite(ClRunProgress& progress, StDATAINFO& info, std::int16_t month_from,
                                  std::int16_t month_to, std::int32_t tax, const std::string& out_path) {
  // The aggregation and the report; destroyed in reverse order (the writer first).
  ClBalanceAggregator aggregator;
  aggregator.m_pProgress = &progress;
  aggregator.m_pRows = &m_resultRows;
  ClReportWriter writer(progress, m_resultRows, m_edition);
  StFINDINFO conditions[4];
  std::memset(conditions, 0, sizeof conditions);
  MakeSumConditions(conditions, &info, month_from, month_to);
  // A failed aggregation fails the run: a report of the rows collected so far, announced as written,
  // would be a wrong report. No file is written then, and one already at the path stays as it was.
  if (aggregator.Aggregate(tax, conditions, &info) != 0) {
    writer.SetProgressBase(500);
    // The moment the report is renamed into place, a signal ending tells the window that it is written.
    SetSignalEndingResultInPlace(kResultWritten);
    ClearLastFileFailure();
    const BOOL written = writer.Write(out_path.c_str(), m_nFunctionId, info) != 0 ? TRUE : FALSE;
    SetSignalEndingResultInPlace(-1);
    return written;
  }
  if (!aggregator.m_strFailure.empty())
    std::fprintf(stderr, "%s: %s\n", m_edition.program, aggregator.m_strFailure.c_str());
  return FALSE;
}

void ClLinkApp::FinishWritten(ClConditionDlg& dialog, ClRunProgress& progress, std::int16_t month_to,
                              const std::string& out_path) {
  // The report is in place (also when it was written into the file itself, with no rename): a signal
  // from here on tells the starting window so.
  SetSignalEndingResult(kResultWritten);
  // The settings, then the completion message owned by the progress window, which stays shown under
  // it: a box's owner is on the screen, so that a desktop can keep the box with it. A settings write
  // that failed is not a failed run (the report is written), but a batch run says so in one line.
  std::string why;
  if (!dialog.WriteLastOutput(dialog.m_nTax, month_to, m_bStartedByWindow == 1 ? nullptr : out_path.c_str(),
                              &why) &&
      m_batch.m_bBatch)
    std::fprintf(stderr, "%s: the choices of this run were not saved: %s\n", m_edition.program, why.c_str());
  ui::SetWaitCursor(false);
  MessageBoxA(progress.MessageOwner(), res::Text(res::TextId::kWritten), res::Text(res::TextId::kTitle),
              MB_OK | MB_ICONINFORMATION);
  progress.Close();
  // Last, the file on disk, for whoever typed a Windows path.
  if (m_batch.m_bBatch)
    std::fprintf(stderr, "%s: report written to %s\n", m_edition.program, LinuxPathOf(out_path).c_str());
}

void ClLinkApp::FinishFailed(ClRunProgress& progress) {
  // The failure message while the progress window is still shown.
  MessageBoxA(progress.MessageOwner(), res::Text(res::TextId::kWriteFailed), res::Text(res::TextId::kTitle),
              MB_OK | MB_ICONEXCLAMATION);
  progress.Close();
  ui::SetWaitCursor(false);
  m_nResult = kResultFailed;
  // The file that could not be written, and the system's reason.
  const StFileFailure& failure = LastFileFailure();
  if (m_batch.m_bBatch && failure.os_error != 0)
    std::fprintf(stderr, "%s: cannot write %s: %s\n", m_edition.program, LinuxPathOf(failure.path).c_str(),
                 std::strerror(failure.os_error));
}

BOOL ClLinkApp::RunSequence(StDATAINFO& info) {
  ProtectSettingsFiles();

  // The conditions dialog and its inputs.
  ClConditionDlg dialog(m_edition, m_pStarterWnd != nullptr ? m_pStarterWnd->m_hWnd : 0);
  SetUpConditions(dialog, info);

  // The dialog's run (modal, or driven by the batch inputs) and what it chose.
  if (RunConditions(dialog) == kIdCancelled) {
    m_nResult = kResultCancelled;
    return FALSE;
  }
  // The dialog refuses the program's own files as output; a path the starting window dictated cannot be
  // refused there, so the run fails on it here, before anything is aggregated or written.
  if (IsProtectedFile(dialog.m_strOutPath)) {
    MessageBoxA(dialog.GetSafeHwnd(), res::Text(res::TextId::kWriteFailed), res::Text(res::TextId::kTitle),
                MB_OK | MB_ICONEXCLAMATION);
    m_nResult = kResultFailed;
    return FALSE;
  }
  const auto month_from = static_cast<std::int16_t>(Atoi(dialog.m_strMonthFrom));
  const auto month_to = static_cast<std::int16_t>(Atoi(dialog.m_strMonthTo));
  const std::int32_t tax = dialog.m_nTax != 0 ? 1 : 0;
  // The path is kept whole: one longer than Windows can open fails when the report is written.
  const std::string out_path = dialog.m_strOutPath;

  // The progress window, or the console progress chosen at start.
  std::unique_ptr<ClRunProgress> shown;
  if (m_pConsoleProgress != nullptr)
    shown = std::make_unique<ClConsoleProgress>(m_pConsoleProgress);
  else
    shown = std::make_unique<ClProgressDlg>();
  ClRunProgress& progress = *shown;
  progress.Open(m_pStarterWnd != nullptr ? m_pStarterWnd->m_hWnd : 0);
  ui::SetWaitCursor(true);
  progress.ResetOverall();

  const BOOL written = AggregateAndWrite(progress, info, month_from, month_to, tax, out_path);
  if (written)
    FinishWritten(dialog, progress, month_to, out_path);
  else
    FinishFailed(progress);
  ui::SetWaitCursor(false);
  return written;
}
