// The process entry of the three executables.
#include "app/entry.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "app/link_app.h"
#include "host/host_db.h"
#include "res/texts.h"
#include "ui/application.h"
#include "ui/qt_ui.h"
#include "win32/codepage.h"
#include "win32/executable.h"
#include "win32/file_signals.h"
#include "win32/parent_folder.h"
#include "win32/signals.h"
#include "win32/ui_port.h"

namespace {
// An option without a value (--batch, --help, --version, --yes), as the word typed; false with *error set.
bool SetFlagOption(const std::string& name, bool has_inline, const std::string& word, StOptions* options,
                   std::string* error) {
  if (has_inline && (name == "--batch" || name == "--help" || name == "--version" || name == "--yes")) {
    *error = name + " takes no value";
    return false;
  }
  if (name == "--batch") {
    options->batch = true;
  } else if (name == "--help") {
    options->help = true;
  } else if (name == "--version") {
    options->version = true;
  } else if (name == "--yes") {
    options->yes = true;
  } else {
    *error = "unknown option " + word;
    return false;
  }
  return true;
}

// An option's value (--host, --month-to, --tax, --output); false with *error set.
bool SetValueOption(const std::string& name, const std::string& v, StOptions* options, std::string* error) {
  if (name == "--host") {
    if (v.empty()) {
      *error = "--host needs a file";
      return false;
    }
    options->host = v;
  } else if (name == "--month-to") {
    const bool digits = v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
    if (!digits) {
      *error = "--month-to takes at most two digits";
      return false;
    }
    options->has_month_to = true;
    options->month_to = v;
  } else if (name == "--tax") {
    if (v != "0" && v != "1") {
      *error = "--tax takes 0 or 1";
      return false;
    }
    options->tax = v == "1" ? 1 : 0;
  } else {
    options->has_output = true;
    options->output = v;
  }
  return true;
}
}  // namespace

bool ParseOptions(const std::vector<std::string>& args, StOptions* options, std::string* error) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") {
      ++i;
      break;
    }
    // The short forms GNU and Qt programs take for help and version.
    if (word == "-h") {
      options->help = true;
      continue;
    }
    if (word == "-V" || word == "-v") {
      options->version = true;
      continue;
    }
    // Any other word with one dash is an option mistyped, never the hand-shake (whose first field is a
    // window handle, and which holds commas).
    if (word.size() > 1 && word[0] == '-' && word[1] != '-' && word.find(',') == std::string::npos) {
      *error = "unknown option " + word;
      return false;
    }
    if (word.rfind("--", 0) != 0) break;
    // --name=VALUE is --name VALUE.
    const std::size_t equals = word.find('=');
    const std::string a = word.substr(0, equals);
    const bool has_inline = equals != std::string::npos;
    const bool takes_value = a == "--host" || a == "--month-to" || a == "--tax" || a == "--output";
    if (!takes_value) {
      if (!SetFlagOption(a, has_inline, word, options, error)) return false;
      continue;
    }
    if (!has_inline && i + 1 >= args.size()) {
      *error = a == "--host" ? "--host needs a file" : a + " needs a value";
      return false;
    }
    const std::string v = has_inline ? word.substr(equals + 1) : args[++i];
    if (!SetValueOption(a, v, options, error)) return false;
  }
  for (std::size_t j = i; j < args.size(); ++j) {
    if (j > i) options->handshake += ' ';
    options->handshake += args[j];
  }
  if (!options->batch &&
      (options->has_month_to || options->tax >= 0 || options->has_output || options->yes)) {
    *error = "--month-to, --tax, --output and --yes need --batch";
    return false;
  }
  return true;
}

namespace {
// True when the messages' locale (LC_ALL, else LC_MESSAGES, else LANG) is a Japanese one.
bool JapaneseLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::string_view(value).substr(0, 2) == "ja";
  }
  return false;
}
}  // namespace

std::string ShortUsage(const res::StEdition& edition) {
  const std::string program = edition.program;
  const std::string indent(program.size() + 8, ' ');
  return "usage: " + program + " [--host FILE] [--batch [--month-to TEXT] [--tax 0|1]\n" + indent +
         "[--output PATH] [--yes]] [--] [HANDSHAKE]\n"
         "       " +
         program + " --help | --version\n";
}

// Every line fits 80 columns (a Japanese character takes two).
std::string UsageText(const res::StEdition& edition) {
  if (JapaneseLocale())
    return ShortUsage(edition) +
           "\n"
           "選択中の会社の勘定科目残高を会計期間の指定月まで集計し、科目内訳書情報\n"
           "(Shift_JIS の XML ファイル) を出力します。\n"
           "\n"
           "オプション:\n"
           "  --host FILE      ホストデータベース (既定: $UCHIWAKE_HOST、なければ\n"
           "                   プログラムと同じフォルダーの demo-host.sqlite)\n"
           "  --batch          ウィンドウを開かずに実行する (メッセージと進捗は標準エラー)\n"
           "  --month-to TEXT  --batch で: 集計する最後の月 (2 桁まで)\n"
           "  --tax 0|1        --batch で: 税込みで集計する (1) / しない (0)\n"
           "  --output PATH    --batch で: 出力ファイルの Windows パス (Z:\\tmp\\r.xml は\n"
           "                   /tmp/r.xml)。相対パスは現在のフォルダーから\n"
           "  --yes            --batch で: 問い合わせ (フォルダーの作成、上書き) に\n"
           "                   「はい」と答える\n"
           "  -h, --help       このヘルプを表示して終了する\n"
           "  -V, --version    プログラム名とバージョンを表示して終了する\n"
           "  --               オプションの終わり\n"
           "  HANDSHAKE        起動元ウィンドウからの WINDOW,MESSAGE,FUNCTIONID,[出力先]\n"
           "値をとるオプションは --output=PATH の形でも指定できます。\n"
           "\n"
           "終了ステータス:\n"
           "  0      科目内訳書情報を出力した\n"
           "  1      キャンセル (--batch では入力の拒否や「いいえ」の回答も)\n"
           "  2      失敗 (環境チェック、連動、集計、出力、ホストデータベース、\n"
           "         表示先なし、標準出力への書き込み)\n"
           "  64     使い方の誤り\n"
           "  128+N  シグナル N で終了した (130: 割り込み、143: 終了要求)\n";
  return ShortUsage(edition) +
         "\n"
         "Aggregates the selected company's account balances up to a month of its\n"
         "accounting period and writes them as a 科目内訳書 report (Shift_JIS XML).\n"
         "\n"
         "options:\n"
         "  --host FILE      the host database (default: $UCHIWAKE_HOST, else\n"
         "                   demo-host.sqlite beside the program)\n"
         "  --batch          run without windows: messages and progress go to standard\n"
         "                   error\n"
         "  --month-to TEXT  with --batch: the last month to aggregate (at most 2 digits)\n"
         "  --tax 0|1        with --batch: aggregate tax-inclusive (1) or not (0)\n"
         "  --output PATH    with --batch: the output file as a Windows path\n"
         "                   (Z:\\tmp\\r.xml is /tmp/r.xml); a relative path is taken from\n"
         "                   the current folder\n"
         "  --yes            with --batch: answer the questions (create the folder,\n"
         "                   overwrite the file) yes\n"
         "  -h, --help       print this help and exit\n"
         "  -V, --version    print the program's name and version and exit\n"
         "  --               end of the options\n"
         "  HANDSHAKE        WINDOW,MESSAGE,FUNCTIONID,[OUTPUT PATH] from the starting\n"
         "                   window\n"
         "An option that takes a value also takes it as --option=VALUE.\n"
         "\n"
         "exit status:\n"
         "  0      the report was written\n"
         "  1      cancelled (with --batch also a refusal or a question answered no)\n"
         "  2      failed (environment check, link, aggregation, report, host database,\n"
         "         no display, standard output not writable)\n"
         "  64     usage error\n"
         "  128+N  ended by signal N (130: interrupted, 143: terminated)\n";
}

std::string VersionText(const res::StEdition& edition) {
  return std::string(edition.program) + " " + res::TextUtf8(res::TextId::kVersion) + "\n";
}

namespace {
const char* g_program = "";

// The toolkit cannot go on (it cannot start its platform when file handles run out, say): the run ends
// failed with one line, the window told, instead of the toolkit's abort.
[[noreturn]] void OnToolkitFatal(const char* message) {
  std::fprintf(stderr, "%s: the window toolkit cannot go on: %s\n", g_program, message);
  win32::EndRunAtOnce(kResultFailed, 2);
}

std::string ProgramFolder() {
  std::string exe;
  return win32::ExecutablePath(&exe) ? win32::ParentFolder(exe) : ".";
}

// A relative output path (neither a drive, a root nor a Linux path) as the absolute Linux path it names
// from the folder the program was started in; empty for any other path. Either separator is taken.
std::string ShellFolderPath(std::string output) {
  const bool drive =
      output.size() >= 2 && std::isalpha(static_cast<unsigned char>(output[0])) != 0 && output[1] == ':';
  if (output.empty() || drive || output[0] == '\\' || output[0] == '/') return "";
  std::replace(output.begin(), output.end(), '\\', '/');
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::current_path(ec);
  if (ec) return "";
  return (folder / output).lexically_normal().string();
}

// --help or --version: the text on standard output; 0, or 2 with a line when it cannot be written.
int PrintHelpOrVersion(const res::StEdition& edition, const StOptions& options) {
  const std::string text = options.help ? UsageText(edition) : VersionText(edition);
  if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", edition.program, std::strerror(errno));
    return 2;
  }
  return 0;
}

// The command line is UTF-8; the program's texts are code page 932. The hand-shake is converted where it
// enters, as the starting window's own texts would be on Windows; one that has no code page 932 form
// cannot name the path the window means: false after a line, the run ends before it starts.
bool ConvertHandshake(const res::StEdition& edition, const std::string& utf8, std::string* handshake) {
  if (win32::Utf8ToCp932(utf8, handshake)) return true;
  std::fprintf(stderr, "%s: the hand-shake has a character with no Shift_JIS (code page 932) form: %s\n",
               edition.program, win32::FirstWithoutCp932Form(utf8).c_str());
  // The window, message and function id are plain digits: the window that started the run is still
  // told that it failed, as it is told of every other ending.
  ClLinkApp probe(edition);
  if (probe.ParseCommandLine(utf8.c_str()) == 1) probe.NotifyStarter(kResultFailed);
  return false;
}

// The batch inputs of the options. False with *why set for a usage error.
bool MakeBatchInput(const res::StEdition& edition, const StOptions& options, const std::string& handshake,
                    StBatchInput* batch, std::string* why) {
  batch->m_bBatch = options.batch;
  batch->m_bHasMonthTo = options.has_month_to;
  batch->m_strMonthTo = options.month_to;
  batch->m_nTax = options.tax;
  batch->m_bHasOutput = options.has_output;
  if (!options.has_output) return true;
  if (!win32::Utf8ToCp932(options.output, &batch->m_strOutput)) {
    *why = "--output: the path has a character with no Shift_JIS form: " +
           win32::FirstWithoutCp932Form(options.output);
    return false;
  }
  ClLinkApp probe(edition);
  if (probe.ParseCommandLine(handshake.c_str()) == 1 && !probe.m_strFixedOutputPath.empty()) {
    *why = "--output cannot replace the output path that the starting window fixed";
    return false;
  }
  batch->m_strOutputFromShell = ShellFolderPath(options.output);
  return true;
}

// The host database: --host, else $UCHIWAKE_HOST, else the demo beside the program.
std::string HostPath(const StOptions& options) {
  if (!options.host.empty()) return options.host;
  const char* env = std::getenv("UCHIWAKE_HOST");
  return env != nullptr && *env != '\0' ? env : ProgramFolder() + "/demo-host.sqlite";
}

// Before the toolkit starts any thread: the signals from outside end the run as a cancel. From here on
// every ending tells the window that started the run, the toolkit's fatal error and a signal before the
// run reads the hand-shake included.
void PrepareEndings(const res::StEdition& edition, const std::string& handshake) {
  win32::InstallCancelSignals();
  {
    ClLinkApp probe(edition);
    if (probe.ParseCommandLine(handshake.c_str()) == 1) probe.PrepareEndingNotice();
  }
  g_program = edition.program;
  ui::SetFatalHook(OnToolkitFatal);
}

// The application object's run, start-up to shutdown: the run's result, or 2 when it got no connection.
int RunApplication(const res::StEdition& edition, const std::string& handshake, const StBatchInput& batch,
                   bool with_windows) {
  ClLinkApp app(edition);
  app.SetCommandLine(handshake);
  app.SetBatchInput(batch);
  // A batch run shows its progress on standard error, a window run in the progress window.
  if (batch.m_bBatch) app.SetConsoleProgress(stderr);
  app.InitInstance();
  const bool initiated = app.Initiated();
  app.ExitInstance();
  // The host database could not be opened: one line says why (a failure to read it during the run was
  // said by the run). With windows, the line is also shown in a box: a run started from the desktop has
  // no terminal to read it on.
  if (!initiated) ReportStartFailure(edition, app.StartFailure(), with_windows);
  return initiated ? app.m_nResult : 2;
}

}  // namespace

void ReportStartFailure(const res::StEdition& edition, const std::string& why, bool windows) {
  const std::string line = std::string(edition.program) + ": " + why;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (!windows) return;
  std::string text;
  if (!win32::Utf8ToCp932(line, &text)) text = line;
  win32::MessageBoxA(0, text, res::Text(res::TextId::kTitle), win32::MB_OK | win32::MB_ICONEXCLAMATION);
}

int RunProgram(res::EditionId edition_id, int argc, char** argv) {
  const res::StEdition& edition = res::Edition(edition_id);
  std::vector<std::string> args(argv + 1, argv + argc);
  StOptions options;
  std::string error;
  auto usage_error = [&](const std::string& why) {
    std::fprintf(stderr, "%s: %s\n%s", edition.program, why.c_str(), ShortUsage(edition).c_str());
    return kExitUsage;
  };
  // A write into a closed pipe fails with an error the program reports, instead of ending it silently.
  win32::InitFileSignals();
  if (!ParseOptions(args, &options, &error)) return usage_error(error);
  if (options.help || options.version) return PrintHelpOrVersion(edition, options);
  std::string handshake;
  if (!ConvertHandshake(edition, options.handshake, &handshake)) return 2;
  StBatchInput batch;
  if (!MakeBatchInput(edition, options, handshake, &batch, &error)) return usage_error(error);
  // A failure the command in bin/ met before starting the program (the demo's copy), to be told as the
  // program's own failures before the dialog are.
  const char* launch_error = std::getenv("UCHIWAKE_START_ERROR");
  const std::string start_error = launch_error != nullptr ? launch_error : "";
  const bool with_windows = !options.batch && ui::DisplayReachable();
  if (!start_error.empty() && !with_windows) {
    std::fprintf(stderr, "%s: %s\n", edition.program, start_error.c_str());
    return 2;
  }
  if (!options.batch && !with_windows) {
    std::fprintf(stderr, "%s: no display to open a window on; use --batch to run without windows\n",
                 edition.program);
    return 2;
  }
  host::HostDb::Inst().SetPath(HostPath(options));

  PrepareEndings(edition, handshake);
  int qt_argc = 1;
  ui::Application application(qt_argc, argv, options.batch);
  if (!application.HasJapaneseQtTexts())
    std::fprintf(stderr,
                 "%s: Qt's Japanese translations are not installed (qt6-translations-l10n): its buttons and "
                 "file dialog read in English\n",
                 edition.program);
  win32::ConsoleUi console(options.yes);
  ui::QtUi windows;
  win32::UiPort* previous = win32::SetUi(options.batch ? static_cast<win32::UiPort*>(&console) : &windows);

  int status = 2;
  if (!start_error.empty())
    ReportStartFailure(edition, start_error, true);
  else
    status = RunApplication(edition, handshake, batch, with_windows);
  win32::SetUi(previous);
  // The lines of a batch run that did not reach standard error (a full device, a closed pipe): the run
  // does not end as if they had been read. One attempt to say so, which may well fail too.
  if (std::fflush(stderr) != 0 || std::ferror(stderr) != 0) {
    std::fprintf(stderr, "%s: cannot write to standard error\n", edition.program);
    if (status == 0) status = 2;
  }
  return status;
}
