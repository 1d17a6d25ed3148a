// The conditions dialog (template 130): shows the company and its accounting period, asks for the last
// month to aggregate, the tax-inclusive flag and the output file, validates them on Execute and remembers
// them per user and company data in the settings file.
//
// The caller constructs it, fills m_szUserId, m_lSelectedNo, m_lSelectedNo2, m_szDataId, m_bPastData,
// m_strFixedPath, m_lPeriodStart, m_lPeriodEnd, m_strCompany and m_strPeriod, and runs it (DoModal, or
// CreateHidden for a batch run). Results: 1002 (kIdExecute) after a successful execute, 1003 (kIdCancel)
// after cancel, and 1003 at once, without the cancel message, for past actual data. The standard OK
// command never ends the dialog. After the run the caller reads m_strMonthFrom, m_strMonthTo (decimal
// texts), m_nTax and m_strOutPath, and after a successful report stores the choices with WriteLastOutput.
//
// Texts are code page 932.
#pragma once

#include <cstdint>
#include <string>

#include "res/edition.h"
#include "res/texts.h"
#include "ui/dialog.h"
#include "win32/wintypes.h"

class ClConditionDlg : public ui::Dialog {
 public:
  explicit ClConditionDlg(const res::StEdition& edition, win32::HWND parent = 0);
  ~ClConditionDlg() override;

  // Exchanged with the controls: period display 1008, company display 1006, path edit 1015, last month
  // edit 1000 (at most 2 characters), first month display 1010.
  std::string m_strPeriod, m_strCompany, m_strOutPath, m_strMonthTo, m_strMonthFrom;
  // 1: aggregate tax-inclusive (check box 1004 ticked), 0: not. Follows the box's click notification.
  std::int16_t m_nTax = 0;
  // The two numbers of the user's company selection; the first is part of the settings key (edition 1).
  std::int32_t m_lSelectedNo = 0, m_lSelectedNo2 = 0;
  // Data-ID text of the selected company data: part of the settings key.
  char m_szDataId[35] = {};
  // The accounting period, yyyymmdd.
  std::int32_t m_lPeriodStart = 0, m_lPeriodEnd = 0;
  // 1 when the selected company data holds past actual data: the dialog refuses to run.
  std::int32_t m_bPastData = 0;
  // Output path handed over by the starting window; empty when none.
  std::string m_strFixedPath;
  // Current user id: part of the settings key.
  char m_szUserId[65] = {};
  // 1 when m_strFixedPath is in force (path edit and browse button disabled, no overwrite question).
  std::int32_t m_bPathFixed = 0;
  // The path found in the settings file when the dialog opened; empty when none.
  char m_szSavedPath[261] = {};

  // The settings record of this user and company data (see conditions/settings_file.h). Read: true when
  // a record was found, the outputs written only then; `path` must hold 261 bytes.
  bool ReadLastOutput(std::int16_t* tax, std::int16_t* month, char* path);
  // Write: true when the record was written, else false with *error (when given) saying why in one line
  // of UTF-8. path null: stores m_szSavedPath.
  bool WriteLastOutput(std::int16_t tax, std::int16_t month, const char* path, std::string* error = nullptr);

  // Control ids.
  static constexpr int kIdMonthTo = 1000, kIdBrowse = 1001, kIdExecute = 1002, kIdCancel = 1003,
                       kIdTax = 1004, kIdPath = 1015, kIdMonthFrom = 1010, kIdCompany = 1006,
                       kIdPeriod = 1008, kIdOutputGroup = 1014, kIdCompanyLabel = 1005, kIdPeriodLabel = 1007,
                       kIdRangeLabel = 1009;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  // Enter walks month edit -> check box -> path edit -> browse button, browses on the browse button and
  // executes on the Execute button; F12 executes from anywhere. Only without Shift, Ctrl and Alt.
  bool PreTranslateMessage(const ui::KeyDown& key) override;
  // 1002 execute, 1001 browse, 1003 cancel, 1004 tax box; the rest as the toolkit routes it.
  bool OnCommand(int id) override;
  // Ignored (see the definition).
  void OnOK() override;
  void OnCancel() override;
  void OnExecute();
  void OnBrowse();
  void OnTaxClicked();

 private:
  // The tax default of a first run: the company's consumption-tax settings (0 when they cannot be read).
  static std::int16_t DefaultTaxFlag();
  // Focus an edit, select its whole text and scroll the caret into view.
  void FocusEdit(int id);
  // A refusal (OK, exclamation icon) and a Yes/No question (question icon), owned by the dialog.
  void Warn(res::TextId text);
  bool AskYes(res::TextId text);
  // The opening's steps: the saved choices restored (else the period's months and the tax default; the
  // saved path, empty when none), the default path of a first run, the path shown (or the fixed one).
  std::string RestoreChoices(std::int16_t* tax, std::int16_t* month_from, std::int16_t* month_to);
  static std::string DefaultOutputPath();
  void ShowOutputPath(const std::string& path);
  // Execute's checks of the output path, in their order; each false after its message, the focus on the
  // path: its text (an empty one opens the file dialog instead), its folder (created when the user agrees),
  // what is at the path (the program's own files and special files refused, an existing file replaced
  // when the user agrees).
  bool CheckOutputPathText();
  bool MakeOutputFolder();
  bool CheckOutputTarget();

  const res::StEdition& m_edition;
};
