#include "tools/installlog_cli.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string_view>
#include <utility>

#include <CLI/CLI.hpp>

#include "installlog/reader.h"
#include "installlog/writer.h"
#include "platform/fatal_error.h"
#include "removal/shared_keys.h"
#include "tools/capture.h"
#include "tools/dump_report.h"
#include "tools/file_io.h"
#include "tools/manifest.h"
#include "tools/staged_manifest.h"
#include "tools/utf8.h"
#include "tools/wine_commands.h"
#include "uninstall_version.h"

namespace uninstall::tools {
namespace {

constexpr std::string_view kProgram = "installlog";

// The text of a JSON library error without its "[json.exception...] " tag.
std::string JsonMessage(const std::exception& e) {
  const std::string_view what = e.what();
  const std::size_t tag_end = what.find("] ");
  return std::string(tag_end == std::string_view::npos ? what : what.substr(tag_end + 2));
}

struct LoadedLog {
  std::string bytes;
  InstallLog log;
  ParsedInstallFile parsed;
};

// Reads and parses the log `argument` names. Returns kExitOk, or the exit
// code with its message written. A FatalError of the reader passes through.
int LoadLog(const std::string& argument, std::ostream& err, LoadedLog& loaded) {
  const std::string failure = ReadWholeFile(PathFromArgument(argument), loaded.bytes);
  if (!failure.empty()) return Usage(err, argument + ": " + failure);
  const std::wstring path = FromUtf8(argument);
  loaded.parsed = ParseInstallFile(loaded.bytes, path, loaded.log);
  if (!loaded.parsed.magic_ok) {
    err << ToUtf8(L"Error: the file '" + path + L"' is no valid InstallFile !") << "\n";
    return kExitInvalidLog;
  }
  return kExitOk;
}

// Warns of keys the uninstaller treats otherwise than an author may think:
// one without its trailing "\" (older readers of the log compared keys as
// text, so such a key made them climb above it), and a shared key, which no
// uninstall deletes.
void WarnOfKeys(const InstallLog& log, std::ostream& err) {
  std::size_t index = 0;
  for (const RegKeyEntry& key : EntriesInUse(log.RegKeyCount, log.RegKeys)) {
    const std::string where = "RegKeys[" + std::to_string(index++) + "] " +
                              std::string(NameOfRootKey(key.RootKey).value_or("?")) + " " +
                              QuoteText(key.SubKey);
    if (IsSharedRegistryKey(key.RootKey, key.SubKey)) {
      err << kProgram << ": warning: " << where
          << " is a key the system and other applications share: the uninstaller never "
             "deletes it\n";
    } else if (key.SubKey.empty() || key.SubKey.back() != L'\\') {
      err << kProgram << ": warning: " << where
          << " has no trailing \"\\\": write it with one, as a key path in the log ends\n";
    }
  }
}

int Write(const std::string& manifest_argument, const std::string& out_argument,
          std::ostream& err) {
  std::string text;
  const std::string failure = ReadWholeFile(PathFromArgument(manifest_argument), text);
  if (!failure.empty()) return Usage(err, manifest_argument + ": " + failure);

  InstallLog log;
  try {
    log = LogFromManifest(Json::parse(text));
  } catch (const ManifestError& e) {
    return Usage(err, manifest_argument + ": " + e.what());
  } catch (const Json::exception& e) {
    return Usage(err, manifest_argument + ": not valid JSON: " + JsonMessage(e));
  }

  WarnOfKeys(log, err);
  const std::string bytes =
      SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                           log.LinkCount, log.Links);
  const std::string write_failure = WriteWholeFile(PathFromArgument(out_argument), bytes);
  if (!write_failure.empty()) return Usage(err, out_argument + ": " + write_failure);
  return kExitOk;
}

// The command-line texts of `manifest`, as given.
struct ManifestArguments {
  std::string staged;
  std::string name;
  std::string main;
  std::string group;
  std::string target = "%currentdir%";
  std::vector<std::string> maps;
  std::vector<std::string> kept;
  std::vector<std::string> keys;
  std::vector<std::string> links;
  std::string extras;
};

// Reads the JSON of --extras into `options`. Returns kExitOk, or the exit
// code with its message written.
int ReadExtras(const std::string& argument, StagedOptions& options, std::ostream& err) {
  std::string text;
  const std::string failure = ReadWholeFile(PathFromArgument(argument), text);
  if (!failure.empty()) return Usage(err, argument + ": " + failure);
  try {
    ManifestExtras extras = ExtrasFromJson(Json::parse(text));
    options.RegKeys = std::move(extras.RegKeys);
    options.Links = std::move(extras.Links);
  } catch (const ManifestError& e) {
    return Usage(err, argument + ": " + e.what());
  } catch (const Json::exception& e) {
    return Usage(err, argument + ": not valid JSON: " + JsonMessage(e));
  }
  return kExitOk;
}

int Manifest(const ManifestArguments& args, std::ostream& out, std::ostream& err) {
  StagedOptions options;
  if (!args.extras.empty()) {
    if (const int code = ReadExtras(args.extras, options, err); code != kExitOk) return code;
  }
  StagedLog staged;
  try {
    options.AppName = FromUtf8(args.name);
    options.MainFile = SplitStagedPath(FromUtf8(args.main));
    options.GroupName = FromUtf8(args.group);
    options.Target = FromUtf8(args.target);
    for (const std::string& map : args.maps) options.Maps.push_back(ParseMapOption(FromUtf8(map)));
    for (const std::string& kept : args.kept) {
      options.KeptFiles.push_back(SplitStagedPath(FromUtf8(kept)));
    }
    for (const std::string& key : args.keys) {
      options.RegKeys.push_back(ParseRegKeyOption(FromUtf8(key)));
    }
    for (const std::string& link : args.links) {
      options.GroupLinks.push_back(ParseLinkOption(FromUtf8(link)));
    }
    staged = LogFromStagedTree(WalkStagedFolder(PathFromArgument(args.staged)), options);
  } catch (const ManifestError& e) {
    return Usage(err, e.what());
  }
  for (const std::string& note : staged.Notes) err << kProgram << ": note: " << note << "\n";
  out << JsonText(ManifestFromLog(staged.Log));
  return kExitOk;
}

int Dump(const std::string& log_argument, bool json, std::ostream& out, std::ostream& err) {
  LoadedLog loaded;
  if (const int code = LoadLog(log_argument, err, loaded); code != kExitOk) return code;
  const std::vector<LogPiece> pieces = SplitLog(loaded.bytes, loaded.parsed, loaded.log);
  if (json) {
    out << JsonText(ManifestFromLog(loaded.log));
    for (const std::string& note : DumpNotes(loaded.bytes, pieces)) {
      err << kProgram << ": note: " << note << "\n";
    }
  } else {
    WriteDumpText(out, loaded.bytes, FromUtf8(log_argument), pieces, loaded.log);
  }
  return kExitOk;
}

struct FolderOptions {
  CLI::Option* windir = nullptr;
  CLI::Option* winsysdir = nullptr;
  CLI::Option* appdir = nullptr;
  std::string WinDir;
  std::string WinSysDir;
  std::string AppDir;
};

// `value` as a folder of PathFields: with a trailing "\". False for an empty
// value, which names no folder.
bool TakeFolder(const CLI::Option* option, const std::string& value, std::wstring& folder,
                std::ostream& err) {
  if (option->count() == 0) return true;
  if (value.empty()) {
    static_cast<void>(Usage(err, option->get_name() + " needs a folder, not an empty text"));
    return false;
  }
  folder = FromUtf8(value);
  if (folder.back() != L'\\') folder.push_back(L'\\');
  return true;
}

int Plan(const std::string& log_argument, const FolderOptions& options, bool json,
         const DefaultFolders& defaults, std::ostream& out, std::ostream& err) {
  PlanFolders folders = defaults(PathFromArgument(log_argument));
  if (!TakeFolder(options.windir, options.WinDir, folders.WinDir, err) ||
      !TakeFolder(options.winsysdir, options.WinSysDir, folders.WinSysDir, err) ||
      !TakeFolder(options.appdir, options.AppDir, folders.AppDir, err)) {
    return kExitUsage;
  }

  LoadedLog loaded;
  if (const int code = LoadLog(log_argument, err, loaded); code != kExitOk) return code;
  const UninstallPlan plan(std::move(loaded.log), folders);
  if (json) {
    out << JsonText(PlanToJson(plan));
  } else {
    WritePlanText(out, plan, folders);
  }
  return kExitOk;
}

}  // namespace

std::string JsonText(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

int Usage(std::ostream& err, const std::string& message) {
  const std::string_view text = message;
  std::size_t start = 0;
  do {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    err << kProgram << ": " << text.substr(start, end - start) << "\n";
    start = end + 1;
  } while (start < message.size());
  return kExitUsage;
}

PlanFolders FixedFolders() { return {L"C:\\WINDOWS\\", L"C:\\WINDOWS\\SYSTEM32\\", L"C:\\APP\\"}; }

int RunInstalllog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const DefaultFolders& defaults) {
  CLI::App app(
      "Write, inspect and preview the install logs (Uninstall.dat) that Uninstall.exe "
      "reads; capture them from an installer and verify them under Wine.",
      std::string(kProgram));
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(kProgram) + " " + UNINSTALL_VERSION);
  app.footer(
      "Exit codes: 0 ok, 1 the log is not valid (capture: something the log cannot undo; "
      "verify: leftovers or collateral), 2 usage or I/O error.\n"
      "Run 'installlog COMMAND --help' for the options of a command.");

  std::string manifest_argument;
  std::string out_argument;
  CLI::App* write =
      app.add_subcommand("write", "Write the install log that a manifest (JSON, UTF-8) describes.");
  write->add_option("MANIFEST", manifest_argument, "the manifest to read")->required();
  write->add_option("OUT", out_argument, "the log to write (created, or replaced)")->required();
  write->footer(
      "The manifest holds \"AppInfo\" {AppPath, AppName, MainPath, GroupName}, \"Files\" "
      "[{SourcePath, TargetPath, KeepFile}], \"RegKeys\" [{RootKey, SubKey, Extra1, Extra2}] and "
      "\"Links\" [{FolderName, LinkName, LinkPath}]; every field is required. RootKey is " +
      RootKeyNameList(false) +
      " or a 32-bit integer. 'installlog dump --json' gives the manifest of a log.");

  ManifestArguments staged;
  CLI::App* manifest = app.add_subcommand(
      "manifest", "Write the manifest (JSON) of a staged application folder to the output.");
  manifest->add_option("STAGED_DIR", staged.staged, "the folder the installer is built from")
      ->required();
  manifest->add_option("--name", staged.name, "the application's name (AppName)")->required();
  manifest->add_option("--main", staged.main, "its main program, a staged file (MainPath)")
      ->required();
  manifest->add_option("--group", staged.group, "its program group in the Start menu (GroupName)");
  manifest->add_option("--target", staged.target,
                       "where the staged files land (default %currentdir%, the application "
                       "folder)");
  manifest->add_option("--map", staged.maps,
                       "FOLDER=TARGET: the files of a staged subfolder land in TARGET instead, "
                       "e.g. system=%winsysdir%");
  manifest->add_option("--keep", staged.kept, "a staged file the uninstall leaves in place");
  manifest->add_option("--reg-key", staged.keys,
                       "ROOT\\SUBKEY: a registry key the uninstall deletes, e.g. "
                       "HKLM\\Software\\Vendor\\App");
  manifest->add_option("--link", staged.links,
                       "NAME=FILE: a link in the program group to a staged file");
  manifest->add_option("--extras", staged.extras,
                       "a JSON file with \"RegKeys\" and \"Links\" as in a manifest, added "
                       "before those of --reg-key and --link");
  manifest->footer(
      "Every file below STAGED_DIR becomes a FileEntry (SourcePath its path in the folder, "
      "TargetPath below the variable of --target or --map), sorted by path. Refused: names "
      "Windows does not allow or the ANSI code page cannot hold, names that differ only in "
      "letter case, more than 32767 files. Uninstall.exe and Uninstall.dat in the application "
      "folder are left out.\n"
      "An empty folder below STAGED_DIR becomes a FileEntry too, its SourcePath and TargetPath "
      "ending in \\ (data\\empty\\ -> %currentdir%\\data\\empty\\): the uninstall removes "
      "it once it is empty, and keeps it while it holds anything.\n"
      "TARGET opens with %currentdir%, %windir%, %winsysdir%, %rootdir% or %userdir%.\n\n"
      "Example:\n"
      "  installlog manifest stage --name \"Sample Notes\" --main app/SampleNotes.exe \\\n"
      "      --group \"Sample Notes\" --map app=%currentdir% --map windows=%windir% \\\n"
      "      --reg-key 'HKLM\\Software\\Sample Vendor' --link 'Sample Notes=app/SampleNotes.exe' "
      "\\\n"
      "      > sample.json\n"
      "  installlog write sample.json stage/app/Uninstall.dat\n");

  std::string log_argument;
  bool json = false;
  CLI::App* dump = app.add_subcommand(
      "dump", "Show the records of a log as the uninstaller reads them, in file order.");
  dump->add_option("LOG", log_argument, "the log to read")->required();
  dump->add_flag("--json", json, "write the log's manifest instead (what 'write' takes)");
  dump->footer(
      "Also shows the bytes the reader passes over, with their offsets, and a record cut short "
      "by the end of the file.");

  FolderOptions folders;
  CLI::App* plan = app.add_subcommand(
      "plan", "Show what the uninstaller would do with a log, touching nothing.");
  plan->add_option("LOG", log_argument, "the log to read")->required();
  folders.windir = plan->add_option("--windir", folders.WinDir, "the Windows folder");
  folders.winsysdir = plan->add_option("--winsysdir", folders.WinSysDir, "the system folder");
  folders.appdir =
      plan->add_option("--appdir", folders.AppDir, "the folder of Uninstall.exe and the log");
  plan->add_flag("--json", json, "write the plan as JSON");
#ifdef _WIN32
  plan->footer(
      "Without the options, the folders are this machine's Windows and system folders and the "
      "log's own folder.");
#else
  plan->footer(
      "Without the options, the folders are C:\\WINDOWS\\, C:\\WINDOWS\\SYSTEM32\\ and "
      "C:\\APP\\.");
#endif

  WineArguments wine;
  const auto add_wine_options = [&wine](CLI::App* command) {
    command
        ->add_option("--arch", wine.arch,
                     "win64 (default): a 64-bit prefix, where the 32-bit Uninstall.exe runs "
                     "under WOW64; win32: a 32-bit prefix")
        ->check(CLI::IsMember({"win32", "win64"}));
    command->add_option("--app-dir", wine.app_dir,
                        "the application folder (C:\\...) when the install makes no "
                        "Uninstall.exe or more than one");
    command->add_option("--work", wine.work,
                        "a new folder for the prefix, kept afterwards (default: a scratch folder, "
                        "removed)");
    command
        ->add_option("INSTALLER", wine.command,
                     "after --: the installer and its arguments for a silent install, e.g. "
                     "Setup.exe /S or cmd /c install.bat")
        ->required();
  };
  CLI::App* capture = app.add_subcommand(
      "capture", "Run an installer under Wine and write the manifest of what it made.");
  capture->add_option("--name", wine.name, "the application's name (AppName)")->required();
  capture
      ->add_option("--main", wine.main,
                   "its main program, relative to the application folder (MainPath)")
      ->required();
  capture->add_option("--group", wine.group,
                      "its program group (default: the folder of the new Start-menu links)");
  add_wine_options(capture);
  capture->footer(
      std::string(
          "The manifest (as 'write' takes it) holds the new files of the application folder "
          "(%currentdir%, the folder of the new Uninstall.exe), the Windows folder (%windir%) and "
          "the system folder (%winsysdir%); each new folder that holds nothing, and each new "
          "folder above the application folder, as an entry ending in \\; every new registry "
          "key, subkeys first, with a trailing \\; the new links in the Start menu's Programs "
          "folder and on the desktop. Reported on the error stream with exit status 1, the "
          "manifest written all the same: what a log cannot undo (values added to keys that "
          "were there before, files replaced or removed, files where no path variable reaches, "
          "folders in the Start menu other than the group, keys the system shares).\n\n") +
      kWineCommandsHelp + "\n\n" + kWineChurnHelp +
      "\n\nExample:\n"
      "  xvfb-run -a installlog capture --name \"Sample Notes\" --main SampleNotes.exe -- \\\n"
      "      SampleNotesSetup.exe /S > sample.json\n"
      "  installlog write sample.json stage/app/Uninstall.dat\n");

  CLI::App* verify = app.add_subcommand(
      "verify",
      "Install, uninstall with the installed Uninstall.exe, and show what differs from before.");
  verify->add_option("--answer", wine.answer,
                     "the answering helper answer.exe (default: the one beside installlog)");
  add_wine_options(verify);
  verify->footer(
      std::string(
          "Runs the installer, then its Uninstall.exe under the answering helper, which answers "
          "the question Yes and the report of success OK (any other box fails the run), restarts "
          "the prefix so that deletes left for the next start happen, and compares it with the "
          "prefix before the install. Prints each leftover (made by the install, still there) "
          "and each collateral (there before, gone or changed after). Exit status: 0 clean, 1 "
          "leftovers or collateral, 2 usage or setup error.\n\n") +
      kWineCommandsHelp + "\n\n" + kWineChurnHelp);

  std::vector<const char*> argv;
  argv.reserve(args.size() + 1);
  if (args.empty()) argv.push_back(app.get_name().c_str());
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
  }

  try {
    int code = kExitOk;
    if (write->parsed()) {
      code = Write(manifest_argument, out_argument, err);
    } else if (manifest->parsed()) {
      code = Manifest(staged, out, err);
    } else if (capture->parsed()) {
      code = CaptureCommand(wine, out, err);
    } else if (verify->parsed()) {
      code = VerifyCommand(wine, out, err);
    } else if (dump->parsed()) {
      code = Dump(log_argument, json, out, err);
    } else {
      code = Plan(log_argument, folders, json, defaults, out, err);
    }
    out.flush();
    if (!out) return Usage(err, "the output could not be written");
    return code;
  } catch (const FatalError& e) {
    err << ToUtf8(e.message()) << "\n";
    return kExitInvalidLog;
  } catch (const std::bad_alloc&) {
    return Usage(err, "out of memory");
  } catch (const std::exception& e) {
    return Usage(err, std::string("internal error: ") + e.what());
  }
}

}  // namespace uninstall::tools
