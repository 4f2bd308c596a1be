#include "tools/wine_commands.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/mfrm.h"
#include "installlog/reader.h"
#include "tools/capture.h"
#include "tools/file_io.h"
#include "tools/installlog_cli.h"
#include "tools/manifest.h"
#include "tools/prefix_state.h"
#include "tools/utf8.h"
#include "tools/wine_runner.h"

namespace uninstall::tools {
namespace {

namespace fs = std::filesystem;

// Exit status 1: something the log cannot undo, or that verify found.
constexpr int kFound = 1;

// The time each program in the prefix may take.
constexpr const char* kInstallSeconds = "600";
constexpr const char* kUninstallSeconds = "300";

// The folder verify copies the answering helper to, left out of the
// comparison.
constexpr std::string_view kHelperFolder = "INSTALLLOG-VERIFY";

// The scratch folder of one command and the prefix in it. Removed at the
// end unless the caller named it (--work), to look at afterwards.
class Session {
 public:
  Session(const WineArguments& args, std::ostream& err) : args_(args), err_(err) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    std::error_code ignored;
    if (remove_) fs::remove_all(work_, ignored);
  }

  // Finds the script, makes the work folder and the prefix.
  [[nodiscard]] bool Start() {
    if (args_.arch != "win32" && args_.arch != "win64") {
      return Refuse("--arch must be win32 or win64, not " + args_.arch);
    }
    if (args_.command.empty()) return Refuse("name the installer to run after --");
    script_ = FindHelperFile("INSTALLLOG_WINE_SESSION", "wine-session");
    if (script_.empty()) {
      return Refuse(
          "wine-session is missing: it ships beside installlog in libexec/installlog/ "
          "(or set INSTALLLOG_WINE_SESSION)");
    }
    std::string failure;
    if (args_.work.empty()) {
      work_ = MakeScratchFolder(failure);
      remove_ = !work_.empty();
    } else {
      work_ = fs::absolute(PathFromArgument(args_.work));
      std::error_code error;
      if (fs::exists(work_ / "prefix", error)) {
        return Refuse(args_.work + " already holds a prefix: name a new folder");
      }
    }
    if (work_.empty()) return Refuse(failure);
    err_ << "installlog: making a " << args_.arch << " prefix in " << (work_ / "prefix").string()
         << "\n";
    return Step({"new", work_.string(), args_.arch}, "making the prefix");
  }

  // Runs the installer with the caller's folder as S:.
  [[nodiscard]] bool Install() {
    std::vector<std::string> words{
        "run", work_.string(), args_.arch, kInstallSeconds, fs::current_path().string(), "--"};
    words.insert(words.end(), args_.command.begin(), args_.command.end());
    return Step(words, "the installer");
  }

  [[nodiscard]] int Answer(const fs::path& helper, const fs::path& script,
                           const std::string& program) {
    std::string failure;
    const int code = RunProgram(script_,
                                {"answer", work_.string(), args_.arch, kUninstallSeconds,
                                 helper.string(), script.string(), "--", program},
                                failure);
    if (code < 0) err_ << "installlog: " << failure << "\n";
    return code;
  }

  [[nodiscard]] PrefixState Read() const { return ReadPrefix(work_ / "prefix", kHelperFolder); }
  [[nodiscard]] const fs::path& work() const { return work_; }
  [[nodiscard]] bool prefix64() const { return args_.arch == "win64"; }

 private:
  bool Refuse(const std::string& message) {
    static_cast<void>(Usage(err_, message));
    return false;
  }

  bool Step(const std::vector<std::string>& words, const std::string& what) {
    std::string failure;
    const int code = RunProgram(script_, words, failure);
    if (code == 0) return true;
    return Refuse(code < 0 ? failure : what + " failed (exit status " + std::to_string(code) + ")");
  }

  const WineArguments& args_;
  std::ostream& err_;
  fs::path script_;
  fs::path work_;
  bool remove_ = false;
};

// The Unix path of a path below drive C: of the prefix.
fs::path OnDisk(const fs::path& work, std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return work / "prefix" / "drive_c" / PathFromArgument(path);
}

// The answering helper's script for one uninstall: the question answered
// Yes, the report of success OK. Any other box fails the run.
std::string AnswerScript(const std::wstring& app_name) {
  // A value in the script's escaping: backslash doubled, line ends as \n.
  const auto escaped = [](const std::wstring_view text) {
    std::string value;
    for (const char c : ToUtf8(text)) {
      if (c == '\\') {
        value += "\\\\";
      } else if (c == '\n') {
        value += "\\n";
      } else if (c == '\t') {
        value += "\\t";
      } else {
        value += c;
      }
    }
    return value;
  };
  const std::string title = "[box]\ntitle=" + escaped(kWindowTitle) + "\n";
  return "window=any\nbox_timeout=60\nexit_timeout=120\n" + title +
         "style=36\ntext=" + escaped(ConfirmationText(app_name)) + "\nanswer=yes\n" + title +
         "style=64\ntext=" + escaped(kRemovedText) + "\nanswer=ok\n";
}

}  // namespace

const char* const kWineCommandsHelp =
    "capture and verify run the installer (the command after --, run from the current folder, "
    "which the prefix sees as drive S:) silently in a scratch Wine prefix of their own (wineboot, "
    "about 20 s; HOME is the scratch folder, nothing reaches the real one) and compare drive C: "
    "and the registry before and after. They need Wine (scripts/install-deps installs it) and an "
    "X display (run them under xvfb-run). --arch win32 is a 32-bit prefix; win64 (the default) a "
    "64-bit one, where the 32-bit Uninstall.exe runs under WOW64 as on every current PC.";

int CaptureCommand(const WineArguments& args, std::ostream& out, std::ostream& err) {
  Session session(args, err);
  if (!session.Start()) return kExitUsage;
  try {
    const PrefixState before = session.Read();
    if (!session.Install()) return kExitUsage;
    const PrefixState after = session.Read();
    const CaptureOptions options{args.name, args.main, args.group, args.app_dir};
    const Capture capture = CaptureInstall(before, after, options, {session.prefix64()});
    // The same checks as a manifest that `write` reads: text the code page
    // cannot hold, too many entries.
    const Json manifest = ManifestFromLog(capture.log);
    static_cast<void>(LogFromManifest(manifest));
    out << JsonText(manifest);
    for (const std::string& line : capture.cannot_undo) {
      err << "installlog: cannot undo: " << line << "\n";
    }
    err << "installlog: captured " << capture.log.FileCount << " files and folders, "
        << capture.log.RegKeyCount << " registry keys, " << capture.log.LinkCount << " links\n";
    return capture.cannot_undo.empty() ? kExitOk : kFound;
  } catch (const ManifestError& e) {
    return Usage(err, std::string("the captured log cannot be written: ") + e.what());
  } catch (const std::runtime_error& e) {  // CaptureError, and a prefix that cannot be read
    return Usage(err, e.what());
  }
}

int VerifyCommand(const WineArguments& args, std::ostream& out, std::ostream& err) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    return Usage(err,
                 "verify needs an X display for the uninstaller's questions: run it under "
                 "xvfb-run -a");
  }
  const fs::path helper = FindHelperFile("INSTALLLOG_ANSWER_EXE", "answer.exe");
  if (args.answer.empty() && helper.empty()) {
    return Usage(err,
                 "answer.exe is missing: it ships beside installlog in libexec/installlog/ (or "
                 "give --answer)");
  }
  Session session(args, err);
  if (!session.Start()) return kExitUsage;
  try {
    const PrefixState before = session.Read();
    if (!session.Install()) return kExitUsage;
    const PrefixState installed = session.Read();
    const std::string app = FindAppFolder(before, installed, args.app_dir);

    std::string bytes;
    const fs::path log_path = OnDisk(session.work(), app + "\\Uninstall.dat");
    const std::string failure = ReadWholeFile(log_path, bytes);
    if (!failure.empty()) {
      return Usage(err, "C:\\" + app + "\\Uninstall.dat: " + failure);
    }
    InstallLog log;
    if (!ParseInstallFile(bytes, L"Uninstall.dat", log).magic_ok) {
      return Usage(err, "C:\\" + app + "\\Uninstall.dat is no valid InstallFile");
    }
    const fs::path script = session.work() / "answers.txt";
    if (const std::string written = WriteWholeFile(script, AnswerScript(log.AppInfo.AppName));
        !written.empty()) {
      return Usage(err, script.string() + ": " + written);
    }

    const Difference made = ComparePrefixes(before, installed);
    // Said first, so that a clean result is seen to follow a real install.
    out << "installed: " << made.leftovers.size() << " new entries (a new folder or key counts "
        << "once with all it holds), " << made.collateral.size() << " changed or removed\n";
    const int answered = session.Answer(args.answer.empty() ? helper : fs::path(args.answer),
                                        script, "C:\\" + app + "\\Uninstall.exe");
    if (answered != 0) {
      out << "the uninstall did not go as expected: the answering helper exited " << answered
          << " (its output is above)\n";
    }
    const Difference left = ComparePrefixes(before, session.Read());
    for (const std::string& line : left.leftovers) out << "leftover: " << line << "\n";
    for (const std::string& line : left.collateral) out << "collateral: " << line << "\n";
    out << "verify: " << left.leftovers.size() << " leftovers, " << left.collateral.size()
        << " collateral\n";
    return answered == 0 && left.leftovers.empty() && left.collateral.empty() ? kExitOk : kFound;
  } catch (const std::runtime_error& e) {  // CaptureError, and a prefix that cannot be read
    return Usage(err, e.what());
  }
}

}  // namespace uninstall::tools
