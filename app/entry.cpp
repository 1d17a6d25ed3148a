// The process entry of the three executables.
#include "app/entry.h"

#include <cstdio>
#include <cstdlib>

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

bool ParseOptions(const std::vector<std::string>& args, StOptions* options, std::string* error) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a.rfind("--", 0) != 0) break;
    if (a == "--host") {
      if (i + 1 >= args.size()) {
        *error = "--host needs a file";
        return false;
      }
      options->host = args[++i];
    } else if (a == "--batch") {
      options->batch = true;
    } else if (a == "--help") {
      options->help = true;
    } else if (a == "--version") {
      options->version = true;
    } else if (a == "--yes") {
      options->yes = true;
    } else if (a == "--month-to" || a == "--tax" || a == "--output") {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--month-to") {
        const bool digits = v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
        if (!digits) {
          *error = "--month-to takes at most two digits";
          return false;
        }
        options->has_month_to = true;
        options->month_to = v;
      } else if (a == "--tax") {
        if (v != "0" && v != "1") {
          *error = "--tax takes 0 or 1";
          return false;
        }
        options->tax = v == "1" ? 1 : 0;
      } else {
        options->has_output = true;
        options->output = v;
      }
    } else {
      *error = "unknown option " + a;
      return false;
    }
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

std::string ShortUsage(const res::StEdition& edition) {
  const std::string program = edition.program;
  return "usage: " + program +
         " [--host FILE] [--batch [--month-to TEXT] [--tax 0|1] [--output PATH] [--yes]] [--] [HANDSHAKE]\n"
         "       " +
         program + " --help | --version\n";
}

std::string UsageText(const res::StEdition& edition) {
  return ShortUsage(edition) +
         "Aggregates the selected company's account balances up to a month of its accounting period and\n"
         "writes them as a 科目内訳書 report (Shift_JIS XML).\n"
         "options:\n"
         "  --host FILE      the host database (default: $UCHIWAKE_HOST, else demo-host.sqlite beside the "
         "program)\n"
         "  --batch          run without windows: messages and progress go to standard error\n"
         "  --month-to TEXT  with --batch: the last month to aggregate (at most two digits)\n"
         "  --tax 0|1        with --batch: aggregate tax-inclusive (1) or not (0)\n"
         "  --output PATH    with --batch: the output file as a Windows path (Z:\\tmp\\r.xml is /tmp/r.xml)\n"
         "  --yes            with --batch: answer the questions (create the folder, overwrite the file) yes\n"
         "  --help           print this help and exit\n"
         "  --version        print the program's name and version and exit\n"
         "  --               end of the options\n"
         "  HANDSHAKE        WINDOW,MESSAGE,FUNCTIONID,[OUTPUT PATH] from the starting window\n"
         "exit status:\n"
         "  0   the report was written\n"
         "  1   cancelled\n"
         "  2   failed (environment check, link, aggregation, report, host database, no display)\n"
         "  64  usage error\n";
}

std::string VersionText(const res::StEdition& edition) {
  return std::string(edition.program) + " " + res::TextUtf8(res::TextId::kVersion) + "\n";
}

namespace {
std::string ProgramFolder() {
  std::string exe;
  return win32::ExecutablePath(&exe) ? win32::ParentFolder(exe) : ".";
}

}  // namespace

int RunProgram(res::EditionId edition_id, int argc, char** argv) {
  const res::StEdition& edition = res::Edition(edition_id);
  std::vector<std::string> args(argv + 1, argv + argc);
  StOptions options;
  std::string error;
  auto usage_error = [&](const std::string& why) {
    std::fprintf(stderr, "%s: %s\n%s", edition.program, why.c_str(), ShortUsage(edition).c_str());
    return kExitUsage;
  };
  if (!ParseOptions(args, &options, &error)) return usage_error(error);
  if (options.help) {
    std::fputs(UsageText(edition).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(VersionText(edition).c_str(), stdout);
    return 0;
  }
  // The command line is UTF-8; the program's texts are code page 932. The hand-shake is converted where it
  // enters, as the starting window's own texts would be on Windows; one that has no code page 932 form
  // cannot name the path the window means, so the run ends before it starts.
  std::string handshake;
  if (!win32::Utf8ToCp932(options.handshake, &handshake)) {
    std::fprintf(stderr, "%s: the hand-shake has a character with no Shift_JIS (code page 932) form: %s\n",
                 edition.program, win32::FirstWithoutCp932Form(options.handshake).c_str());
    // The window, message and function id are plain digits: the window that started the run is still
    // told that it failed, as it is told of every other ending.
    ClLinkApp probe(edition);
    if (probe.ParseCommandLine(options.handshake.c_str()) == 1) probe.NotifyStarter(kResultFailed);
    return 2;
  }
  StBatchInput batch;
  batch.m_bBatch = options.batch;
  batch.m_bHasMonthTo = options.has_month_to;
  batch.m_strMonthTo = options.month_to;
  batch.m_nTax = options.tax;
  batch.m_bHasOutput = options.has_output;
  if (options.has_output) {
    if (!win32::Utf8ToCp932(options.output, &batch.m_strOutput))
      return usage_error("--output: the path has a character with no Shift_JIS form: " +
                         win32::FirstWithoutCp932Form(options.output));
    ClLinkApp probe(edition);
    if (probe.ParseCommandLine(handshake.c_str()) == 1 && !probe.m_strFixedOutputPath.empty())
      return usage_error("--output cannot replace the output path that the starting window fixed");
  }
  if (!options.batch && !ui::DisplayReachable()) {
    std::fprintf(stderr, "%s: no display to open a window on; use --batch to run without windows\n",
                 edition.program);
    return 2;
  }
  std::string host = options.host;
  if (host.empty()) {
    const char* env = std::getenv("UCHIWAKE_HOST");
    host = env != nullptr && *env != '\0' ? env : ProgramFolder() + "/demo-host.sqlite";
  }
  host::HostDb::Inst().SetPath(host);

  win32::InitFileSignals();
  // Before the toolkit starts any thread: SIGTERM, SIGINT and SIGHUP end the run as a cancel.
  win32::InstallCancelSignals();
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

  int status;
  {
    ClLinkApp app(edition);
    app.SetCommandLine(handshake);
    app.SetBatchInput(batch);
    // A batch run shows its progress on standard error, a window run in the progress window.
    if (options.batch) app.SetConsoleProgress(stderr);
    app.InitInstance();
    const bool initiated = app.Initiated();
    app.ExitInstance();
    status = initiated ? app.m_nResult : 2;
    // The host database could not be opened, or could not be read during the run, or held a value that
    // does not fit its field (the run then failed): one line says where.
    const std::string& host_error = ClAccConnect::Inst()->LastError();
    if (!initiated || !host_error.empty())
      std::fprintf(stderr, "%s: %s\n", edition.program, host_error.c_str());
  }
  win32::SetUi(previous);
  return status;
}
