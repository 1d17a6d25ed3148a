// The conditions dialog: opening with the restored or default choices, the checks of Execute, the
// save-as dialog, cancel and the key rules.
#include "conditions/condition_dlg.h"

#include <cstring>
#include <optional>

#include "aggregation/period.h"
#include "conditions/path_rules.h"
#include "conditions/settings_file.h"
#include "platform/platform.h"
#include "platform/shohizei.h"
#include "res/templates.h"
#include "win32/crt.h"
#include "win32/file.h"
#include "win32/paths.h"
#include "win32/protected_files.h"
#include "win32/ui_port.h"

namespace {
constexpr int kMonthToMaxChars = 2;
constexpr int kPathMaxChars = 255;
constexpr const char* kDefaultFileName = "*.xml";

// The save-as dialog: hide read-only, keep the current folder, the folder and the file must exist.
constexpr win32::DWORD kSaveFlags =
    win32::OFN_HIDEREADONLY | win32::OFN_NOCHANGEDIR | win32::OFN_PATHMUSTEXIST | win32::OFN_FILEMUSTEXIST;
static_assert(kSaveFlags == 0x180C);
constexpr const char* kSaveDefaultExt = "XML";
constexpr const char* kSaveFilter = "Xml Files (*.xml)|*.xml||";
}  // namespace

ClConditionDlg::ClConditionDlg(const res::StEdition& edition, win32::HWND parent)
    : ui::Dialog(res::kIddConditions, parent), m_edition(edition) {}

ClConditionDlg::~ClConditionDlg() = default;

bool ClConditionDlg::ReadLastOutput(std::int16_t* tax, std::int16_t* month, char* path) {
  return ClSettingsFile(m_edition, m_szUserId, m_lSelectedNo, m_szDataId).ReadLastOutput(tax, month, path);
}

bool ClConditionDlg::WriteLastOutput(std::int16_t tax, std::int16_t month, const char* path,
                                     std::string* error) {
  return ClSettingsFile(m_edition, m_szUserId, m_lSelectedNo, m_szDataId)
      .WriteLastOutput(tax, month, path, m_szSavedPath, error);
}

void ClConditionDlg::DoDataExchange(ui::DataExchange* dx) {
  dx->Text(kIdPeriod, m_strPeriod);
  dx->Text(kIdCompany, m_strCompany);
  dx->Text(kIdPath, m_strOutPath);
  dx->Text(kIdMonthTo, m_strMonthTo);
  dx->MaxChars(m_strMonthTo, kMonthToMaxChars);
  dx->Text(kIdMonthFrom, m_strMonthFrom);
}

std::int16_t ClConditionDlg::DefaultTaxFlag() {
  ClDataMgr* mgr = ClDataMgr::Inst();
  auto* data = static_cast<ClSetData*>(mgr->GetSetObject(5, 1));
  auto* tax_set = static_cast<ClSetShohizei*>(mgr->GetSetObject(4, 1));
  StSHOHIZEIINFO info;
  std::memset(&info, 0, sizeof info);
  if (data != nullptr && tax_set != nullptr) {
    tax_set->AttachSetMgr(mgr->GetSetMgr());
    // The record's leading text is the data ID.
    tax_set->SetCurDataID(reinterpret_cast<const char*>(data->GetSelectedInfo()));
    if (tax_set->Get(&info) != 0) std::memset(&info, 0, sizeof info);
  }
  return info.TaxIncluded != 0 ? 1 : 0;
}

bool ClConditionDlg::OnInitDialog() {
  ui::Dialog::OnInitDialog();

  if (m_bPastData == 1) {
    // The rest still runs; the dialog closes as soon as the opening returns, without the cancel message.
    win32::MessageBoxA(GetSafeHwnd(), res::Text(res::TextId::kPastData), res::Text(res::TextId::kTitle),
                       win32::MB_OK | win32::MB_ICONEXCLAMATION);
    EndDialog(kIdCancel);
  }
  LimitText(kIdPath, kPathMaxChars);
  // What each label of the left column captions, for a screen reader.
  LinkCaption(kIdCompanyLabel, kIdCompany);
  LinkCaption(kIdPeriodLabel, kIdPeriod);
  LinkCaption(kIdRangeLabel, kIdMonthFrom);

  std::int16_t tax = 1;
  std::int16_t month_to = 0;
  std::int16_t month_from = 0;
  std::string path = RestoreChoices(&tax, &month_from, &month_to);
  if (path.empty()) path = DefaultOutputPath();
  ShowOutputPath(path);

  // Only the last month and the tax flag come from the settings: the first month is always the
  // period's first.
  if (month_from == 0) GetPeriodMonths(m_lPeriodStart, m_lPeriodEnd, &month_from, nullptr);

  m_strMonthFrom = std::to_string(month_from);
  m_strMonthTo = std::to_string(month_to);
  m_nTax = tax != 0 ? 1 : 0;
  CheckDlgButton(kIdTax, m_nTax != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  UpdateData(false);
  return true;
}

std::string ClConditionDlg::RestoreChoices(std::int16_t* tax, std::int16_t* month_from,
                                           std::int16_t* month_to) {
  char saved[kPathBufSize] = {};
  std::memset(m_szSavedPath, 0, sizeof m_szSavedPath);
  if (ReadLastOutput(tax, month_to, saved)) {
    std::memcpy(m_szSavedPath, saved, sizeof m_szSavedPath);
    m_szSavedPath[sizeof m_szSavedPath - 1] = '\0';
  } else {
    std::int16_t last_code = 0;
    GetPeriodMonths(m_lPeriodStart, m_lPeriodEnd, month_from, &last_code);
    *month_to = static_cast<std::int16_t>(last_code % 100);
    *tax = DefaultTaxFlag();
  }
  return saved;
}

std::string ClConditionDlg::DefaultOutputPath() {
  // The default names a wildcard file in the application folder (or the temporary folder), for the user
  // to replace; executing it unchanged is refused by the character check. It is kept whole: a folder
  // too long for a 260-byte path only makes a longer text in the edit.
  std::string folder = ClFileMgr::Inst()->GetAppFolderPath(0);
  if (folder.empty()) {
    char temp[kPathBufSize] = {};
    const win32::DWORD n = win32::GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp) folder = temp;
    if (!folder.empty()) AddTrailingSep(&folder, kPathBufSize);
  }
  return folder + kDefaultFileName;
}

void ClConditionDlg::ShowOutputPath(const std::string& path) {
  if (!m_strFixedPath.empty()) {
    m_strOutPath = m_strFixedPath;
    EnableDlgItem(kIdBrowse, false);
    EnableDlgItem(kIdPath, false);
    SetDlgItemText(kIdOutputGroup, res::Text(res::TextId::kOutputGroupFixed));
    m_bPathFixed = 1;
  } else {
    m_strOutPath = path;
    m_bPathFixed = 0;
  }
}

void ClConditionDlg::FocusEdit(int id) {
  SetFocusTo(id);
  SetSel(id, 0, -1);
  ScrollCaret(id);
}

void ClConditionDlg::Warn(res::TextId text) {
  win32::MessageBoxA(GetSafeHwnd(), res::Text(text), res::Text(res::TextId::kTitle),
                     win32::MB_OK | win32::MB_ICONEXCLAMATION);
}

bool ClConditionDlg::AskYes(res::TextId text) {
  return win32::MessageBoxA(GetSafeHwnd(), res::Text(text), res::Text(res::TextId::kTitle),
                            win32::MB_YESNO | win32::MB_ICONQUESTION) == win32::IDYES;
}

void ClConditionDlg::OnExecute() {
  // A last month longer than the edit's limit (only a program can put one there) has been refused by
  // the exchange with its own message.
  if (!UpdateData(true)) return;

  const std::int32_t month_from = win32::Atoi(m_strMonthFrom);
  const std::int32_t month_to = win32::Atoi(m_strMonthTo);
  if (!CheckMonthRange(month_from, month_to, m_lPeriodStart, m_lPeriodEnd)) {
    Warn(res::TextId::kBadMonthRange);
    FocusEdit(kIdMonthTo);
    return;
  }
  if (!CheckOutputPathText() || !MakeOutputFolder() || !CheckOutputTarget()) return;
  EndDialog(kIdExecute);
}

bool ClConditionDlg::CheckOutputPathText() {
  if (m_strOutPath.empty()) {
    Warn(res::TextId::kNoOutputPath);
    OnBrowse();
    return false;
  }
  std::optional<res::TextId> refusal;
  if (!CheckPathChars(m_strOutPath))
    refusal = res::TextId::kBadPathChars;
  else if (!CheckPathLength(m_strOutPath))
    refusal = res::TextId::kPathTooLong;
  else if (!CheckPathDrive(m_strOutPath))
    refusal = res::TextId::kBadDrive;
  else if (GetFileNamePart(m_strOutPath).empty())
    refusal = res::TextId::kNoFileName;
  if (!refusal) return true;
  Warn(*refusal);
  FocusEdit(kIdPath);
  return false;
}

bool ClConditionDlg::MakeOutputFolder() {
  const std::string folder = GetFolderPart(m_strOutPath);
  if (folder.empty() || win32::Access(folder.c_str(), kAccessExists) == 0) return true;
  if (!AskYes(res::TextId::kCreateFolderQuestion)) {
    FocusEdit(kIdPath);
    return false;
  }
  if (!CreateFolderChain(folder)) {
    Warn(res::TextId::kCreateFolderFailed);
    FocusEdit(kIdPath);
    return false;
  }
  return true;
}

bool ClConditionDlg::CheckOutputTarget() {
  // A path handed over by the starting window is not refused here (it cannot be changed): the run fails
  // on it instead, and it is overwritten without asking.
  if (m_bPathFixed != 0) return true;
  // The program's own files (the host database, the settings file, ...) are never replaced by a report,
  // and a FIFO, socket or device cannot take one.
  if (win32::IsProtectedFile(m_strOutPath) || win32::IsSpecialFile(m_strOutPath.c_str())) {
    Warn(res::TextId::kUnusableOutput);
    FocusEdit(kIdPath);
    return false;
  }
  // Any entry at the path, a link whose target is missing included, is an existing file: the report
  // replaces it.
  win32::CFileStatus status;
  if (!win32::CFile::GetStatus(m_strOutPath.c_str(), status)) return true;
  if (status.m_attribute & win32::FILE_ATTRIBUTE_DIRECTORY) {
    Warn(res::TextId::kNoFileName);
    FocusEdit(kIdPath);
    return false;
  }
  if (!AskYes(res::TextId::kOverwriteQuestion)) {
    FocusEdit(kIdPath);
    return false;
  }
  return true;
}

void ClConditionDlg::OnBrowse() {
  UpdateData(true);

  // Backslashes and colons are found as whole characters, never as trail bytes.
  std::string folder = GetFolderPart(m_strOutPath);
  std::string name;
  if (folder.empty()) {
    folder = GetDrivePart(m_strOutPath);
    name = GetAfterDrivePart(m_strOutPath);
  } else {
    name = GetFileNamePart(m_strOutPath);
  }

  win32::SaveDialogRequest request;
  request.owner = GetSafeHwnd();
  request.title = res::Text(res::TextId::kSaveDialogTitle);
  request.default_ext = kSaveDefaultExt;
  request.filter = kSaveFilter;
  request.initial_dir = folder;
  request.initial_name = name;
  request.flags = kSaveFlags;
  std::string chosen;
  if (win32::Ui().SaveFileDialog(request, &chosen) == win32::IDOK) {
    m_strOutPath = chosen;
    UpdateData(false);
  }
  SetFocusTo(kIdExecute);
}

void ClConditionDlg::OnCancel() {
  win32::MessageBoxA(GetSafeHwnd(), res::Text(res::TextId::kCancelRun), res::Text(res::TextId::kTitle),
                     win32::MB_OK | win32::MB_ICONINFORMATION);
  EndDialog(kIdCancel);
}

// The standard OK command reaches the dialog for an Enter that the key rules leave alone (Enter with
// Shift held in an edit, for instance) and from the toolkit itself. The framework's default would read
// the controls and end the dialog with IDOK, skipping every check of Execute, and the caller takes any
// result other than cancel as execute. So it is ignored: only Execute ends the dialog with the choices.
void ClConditionDlg::OnOK() {}

void ClConditionDlg::OnTaxClicked() {
  m_nTax = static_cast<std::int16_t>(IsDlgButtonChecked(kIdTax) != ui::BST_UNCHECKED ? 1 : 0);
}

bool ClConditionDlg::OnCommand(int id) {
  switch (id) {
    case kIdExecute:
      OnExecute();
      return true;
    case kIdBrowse:
      OnBrowse();
      return true;
    case kIdCancel:
      OnCancel();
      return true;
    case kIdTax:
      OnTaxClicked();
      return true;
    default:
      return ui::Dialog::OnCommand(id);
  }
}

bool ClConditionDlg::PreTranslateMessage(const ui::KeyDown& key) {
  if (key.shift || key.control || key.alt) return false;
  if (key.vk == ui::VK_F12) {
    OnExecute();
    return true;
  }
  if (key.vk != ui::VK_RETURN) return false;
  switch (GetFocusId()) {
    case kIdMonthTo:
      SetFocusTo(kIdTax);
      return true;
    case kIdTax:
      if (IsDlgItemEnabled(kIdBrowse))
        FocusEdit(kIdPath);
      else
        SetFocusTo(kIdExecute);
      return true;
    case kIdPath:
      SetFocusTo(IsDlgItemEnabled(kIdBrowse) ? kIdBrowse : kIdExecute);
      return true;
    case kIdBrowse:
      OnBrowse();
      return true;
    case kIdExecute:
      OnExecute();
      return true;
    default:
      return false;
  }
}
