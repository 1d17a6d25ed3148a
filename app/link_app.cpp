// Start-up, shutdown, the hand-shake and the environment check.
#include "app/link_app.h"

#include <cstdio>
#include <cstring>

#include "res/texts.h"
#include "win32/codepage.h"
#include "win32/crt.h"
#include "win32/current_directory.h"
#include "win32/executable.h"
#include "win32/file_exists.h"
#include "win32/mbcs.h"
#include "win32/profile.h"
#include "win32/protected_files.h"
#include "win32/signals.h"
#include "win32/starter.h"

using namespace win32;

namespace {
constexpr char kEnvFileName[] = "VornelDef.ini";
constexpr int kRequiredLevel = 2;
constexpr UINT kWarningOk = 0x30;

// The notify message's wParam: the 16-bit function id widened with its sign to 32 bits.
WPARAM FunctionIdParam(std::int16_t function_id) {
  return static_cast<WPARAM>(static_cast<std::int32_t>(function_id));
}

}  // namespace

ClLinkApp::ClLinkApp(const res::StEdition& edition) : m_edition(edition) {}

ClLinkApp::~ClLinkApp() { FreeRows(); }

void ClLinkApp::FreeRows() {
  for (StZANDAKAINFO* row : m_resultRows) delete row;
  m_resultRows.clear();
}

void ClLinkApp::EnterProgramFolder() const {
  // The program's own folder becomes the current directory.
  char module[MAX_PATH + 1] = {};
  if (GetModuleFileNameA(0, module, sizeof module) > 0) {
    std::string folder(module);
    const std::size_t sep = MbsRChr(folder, '\\');
    if (sep != std::string::npos) {
      folder.resize(sep + 1);
      SetCurrentDirectoryA(folder.c_str());
    }
    // The files the program depends on, which a report must never replace: the executables of all
    // three editions, which share the program folder.
    const std::string program_folder = sep != std::string::npos ? std::string(module, sep + 1) : "";
    for (const res::EditionId id :
         {res::EditionId::kHalvorack, res::EditionId::kDremmick, res::EditionId::kFennowal})
      ProtectWindowsFile(std::string("the executable ") + res::Edition(id).program,
                         program_folder + res::Edition(id).program);
    ProtectWindowsFile("the executable", module);
  }
  ProtectFile("the environment file", kEnvFileName);
  ProtectFile("the product information file", "SUPPORT.INF");
}

BOOL ClLinkApp::InitInstance() {
  ClAccConnect* connect = ClAccConnect::Inst();
  // The connection: the window title, the edition's application type, the data type, the host database.
  connect->m_pszTitle = res::Text(res::TextId::kTitle).c_str();
  connect->SetAppType(static_cast<ClSysEnvMgr::_AppType>(m_edition.app_type));
  connect->SetUseDataType(1);
  if (connect->Initiate(&m_strStartFailure) != 0) return FALSE;
  m_bInitiated = true;

  // The hand-shake: a run started by a window disables it until the run ends.
  if (ParseCommandLine(m_strCmdLine.c_str()) == 1) {
    m_bStartedByWindow = 1;
    m_starterWnd.m_hWnd = m_hStarterWnd;
    m_pStarterWnd = &m_starterWnd;
    EnableWindow(m_hStarterWnd, FALSE);
    connect->m_hOwnerWnd = m_hStarterWnd;
    // What a signal that ends the run sends the window: the same as a cancel.
    PrepareEndingNotice();
  }

  EnterProgramFolder();

  // The environment check.
  if (CheckEnvironment(1) == 0) {
    m_nResult = kResultFailed;
    return FALSE;
  }

  // Complete the link with the accounting product.
  const long link = connect->ExpSysLink();
  if (link == 1) {
    m_nResult = kResultCancelled;
    return FALSE;
  }
  if (link != 0) {
    m_nResult = kResultFailed;
    return FALSE;
  }

  // The selected company's record; when none matches it stays zero-filled and the run goes on.
  StDATAINFO info;
  std::memset(&info, 0, sizeof info);
  FindSelectedDataInfo(&info);

  // The run sequence.
  return RunSequence(info);
}

int ClLinkApp::ExitInstance() {
  // The result is settled: a signal from here on does not turn it into a cancel, nor doubles the notice.
  BeginNormalEnding();
  TestStop("ending");
  FreeRows();
  ClAccConnect* connect = ClAccConnect::Inst();
  connect->LogOut();
  connect->Terminate();
  connect->Release();
  if (m_bStartedByWindow == 1) NotifyStarter(m_nResult);
  return 0;
}

void ClLinkApp::NotifyStarter(std::int32_t result) const {
  // A window that has not read for a moment is waited for, a bounded time for the three together.
  StarterFinalNotice notice;
  SetForegroundWindow(m_hStarterWnd);
  EnableWindow(m_hStarterWnd, TRUE);
  PostMessageA(m_hStarterWnd, m_nNotifyMsg, FunctionIdParam(m_nFunctionId), static_cast<LPARAM>(result));
}

void ClLinkApp::PrepareEndingNotice() const {
  PrepareCancelNotice(m_hStarterWnd, m_nNotifyMsg, FunctionIdParam(m_nFunctionId));
}

int ClLinkApp::ParseCommandLine(const char* args) {
  if (args == nullptr || args[0] == '\0') return 0;
  // The text is parsed whole, however long: cutting it to a fixed buffer would silently change the path
  // that the starting window dictates.
  const std::string text(args);
  const std::size_t c1 = text.find(',');
  if (c1 == std::string::npos) return 0;
  m_hStarterWnd = win32::StarterWindowFromText(std::string_view(text).substr(0, c1));
  const std::size_t c2 = text.find(',', c1 + 1);
  if (c2 == std::string::npos) return 0;
  m_nNotifyMsg = static_cast<std::uint32_t>(Atol(std::string_view(text).substr(c1 + 1, c2 - c1 - 1)));
  const std::size_t c3 = text.find(',', c2 + 1);
  if (c3 == std::string::npos) return 0;
  m_nFunctionId = static_cast<std::int16_t>(Atol(std::string_view(text).substr(c2 + 1, c3 - c2 - 1)));
  if (c3 + 1 < text.size()) m_strFixedOutputPath = text.substr(c3 + 1);
  return 1;
}

int ClLinkApp::FindSelectedDataInfo(StDATAINFO* info) {
  if (m_pDataSet == nullptr) m_pDataSet = static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1));
  char user_id[65] = {};
  ClSysUser* user = ClDataMgr::Inst()->GetSysUserObject();
  user->GetCurUserID(user_id);
  std::int32_t selected_no = 0, selected_no2 = 0;
  user->GetSelectedNo(user_id, &selected_no, &selected_no2);
  std::memset(info, 0, sizeof *info);
  if (m_pDataSet == nullptr) return 0;
  long cursor = 0;
  m_pDataSet->GetDatCursor(&cursor);
  m_pDataSet->ReadyDat(cursor, 0);
  int found = 0;
  StDATAINFO entry;
  while (true) {
    std::memset(&entry, 0, sizeof entry);
    if (m_pDataSet->WalkDat(&entry, cursor) != 0) break;
    if (entry.DataNo == selected_no2) {
      std::memcpy(info, &entry, sizeof entry);
      found = 1;
      break;
    }
  }
  m_pDataSet->ReleaseDatCursor(cursor);
  return found;
}

int ClLinkApp::CheckEnvironment(int show) {
  char cur_dir[261] = {};
  GetCurrentDirectoryA(sizeof cur_dir, cur_dir);
  char path[517] = {};
  std::memcpy(path, cur_dir, sizeof cur_dir);
  std::size_t len = std::strlen(path);
  if (len > 0) {
    const bool last_is_backslash = path[len - 1] == '\\';
    if (last_is_backslash && IsTrailPosition(std::string_view(path, len), len - 1)) {
      path[len++] = '\\';  // the backslash byte belongs to a double-byte character
    } else if (!last_is_backslash && len < sizeof path - 1) {
      path[len++] = '\\';
    }
  }
  std::strncat(path, kEnvFileName, sizeof path - 1 - std::strlen(path));

  int code;
  if (!FileExistsA(path)) {
    code = -1;
  } else {
    char level[16] = {};
    GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", level, sizeof level, path);
    if (const int error = ProfileReadError(); error != 0) {
      // A file that cannot be read (file handles run out, no permission) is no sign of an old product:
      // the environment is not as it should be, and one line says why.
      std::fprintf(stderr, "%s: the environment file %s cannot be read: %s\n", m_edition.program,
                   ToUtf8Lossy(path).c_str(), std::strerror(error));
      code = -1;
    } else if (level[0] == '\0') {
      code = -1;
    } else {
      const int value = Atoi(level);
      code = value == kRequiredLevel ? 0 : (value < kRequiredLevel ? 1 : 2);
    }
  }
  if (code == 0) return 1;
  if (show != 0) {
    const res::TextId text = code == -1  ? res::TextId::kEnvInvalid
                             : code == 1 ? res::TextId::kEnvProductTooOld
                                         : res::TextId::kEnvComponentTooOld;
    ClAccConnect::Inst()->DispMsg(m_hStarterWnd, res::Text(text).c_str(),
                                  res::Text(res::TextId::kTitle).c_str(), kWarningOk);
  }
  return 0;
}
