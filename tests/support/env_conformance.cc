#include "tests/support/env_conformance.h"

#include <algorithm>
#include <utility>

namespace uninstall::conformance {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr ErrorCode kErrorNotADirectory = kErrorDirectory;

using Setup = std::function<bool(Machine&, const Place&)>;
using Call = std::function<std::string(Env&, const Place&)>;

// --- Text for the answers and the report lines ----------------------------

std::string Ascii(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) out.push_back(c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?');
  return out;
}

std::string Hex(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string digits;
  for (; value != 0 || digits.empty(); value >>= 4) digits.push_back(kDigits[value & 0xF]);
  return "0x" + std::string(digits.rbegin(), digits.rend());
}

std::string Quoted(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return out + "\"";
}

std::string Said(ErrorCode code) {
  return code == kErrorSuccess ? "ok" : "error " + std::to_string(code);
}
std::string Said(const Status& status) { return Said(status.code()); }
// The value of a call that succeeds, as its expectation names it.
template <typename T, typename Show>
std::string Said(Result<T> result, Show show) {
  return result.ok() ? show(std::move(result).value()) : Said(result.code());
}
std::string AttrsAre(std::uint32_t attrs) { return "ok attrs=" + Hex(attrs); }
// In any order.
std::string Names(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  std::string text = "ok names=[";
  for (const std::wstring& name : names) {
    if (text.back() != '[') text += ',';
    text += Ascii(name);
  }
  return text + "]";
}
std::string Bytes(std::string_view bytes) { return "ok bytes=" + Quoted(bytes); }
std::string Same(bool same) { return same ? "ok same" : "ok different"; }
// The final path of the case's folder + "\" + this.
std::string FinalTail(std::wstring_view tail) { return "ok final=" + Ascii(tail); }

std::wstring Under(const std::wstring& base, const std::wstring& relative) {
  return relative.empty() ? base : base + L"\\" + relative;
}

// --- Setup steps, relative to the case's folder (RegKey: its key) ----------

Setup Dir(const std::wstring& path) {
  return [=](Machine& m, const Place& at) { return m.MakeDir(at.At(path)); };
}
Setup File(const std::wstring& path, const std::string& bytes = "bytes") {
  return [=](Machine& m, const Place& at) {
    const std::wstring full = at.At(path);
    return m.MakeDir(full.substr(0, full.rfind(L'\\'))) && m.MakeFile(full, bytes);
  };
}
Setup Attrs(const std::wstring& path, std::uint32_t attrs) {
  return [=](Machine& m, const Place& at) { return m.SetAttrs(at.At(path), attrs); };
}
Setup CurrentDir(const std::wstring& path) {
  return [=](Machine& m, const Place& at) { return m.MakeCurrentDir(at.At(path)); };
}
Setup RegKey(const std::wstring& key) {
  return [=](Machine& m, const Place& at) { return m.MakeRegKey(kHkcu, Under(at.key, key)); };
}

// --- The calls, on paths relative to the case's folder ---------------------

// A call of one path, and how its value shows.
template <typename R, typename... Show>
Call On(R (Env::*call)(std::wstring_view), const std::wstring& path, Show... show) {
  return [=](Env& env, const Place& at) { return Said((env.*call)(at.At(path)), show...); };
}
Call GetAttrs(const std::wstring& path) { return On(&Env::GetFileAttrs, path, AttrsAre); }
Call RemoveFile(const std::wstring& path) { return On(&Env::RemoveFile, path); }
Call RemoveDir(const std::wstring& path) { return On(&Env::RemoveDir, path); }
Call ListFiles(const std::wstring& path) { return On(&Env::ListFiles, path, Names); }
Call Read(const std::wstring& path) { return On(&Env::ReadWholeFile, path, Bytes); }
Call SetCurrentDir(const std::wstring& path) { return On(&Env::SetCurrentDir, path); }
// The root of the empty drive, which has no "." or ".." entry.
Call ListEmptyDriveRoot() {
  return [](Env& env, const Place& at) {
    return Said(env.ListFiles(at.roots.empty_drive_root), Names);
  };
}
Call Write(const std::wstring& path, const std::string& bytes) {
  return [=](Env& env, const Place& at) { return Said(env.WriteWholeFile(at.At(path), bytes)); };
}
Call Rename(const std::wstring& from, const std::wstring& to) {
  return [=](Env& env, const Place& at) { return Said(env.RenameFile(at.At(from), at.At(to))); };
}
// GetFileIdentity of both: are they one object?
Call SameIdentity(const std::wstring& path, const std::wstring& other) {
  return [=](Env& env, const Place& at) {
    const Result<FileIdentity> first = env.GetFileIdentity(at.At(path));
    const Result<FileIdentity> second = env.GetFileIdentity(at.At(other));
    if (!first.ok() || !second.ok()) return Said(first.ok() ? second.code() : first.code());
    return Same(first.value().id == second.value().id);
  };
}
// Anything outside the case's folder shows whole.
Call FinalPath(const std::wstring& path) {
  return [=](Env& env, const Place& at) {
    const Result<std::wstring> base = env.GetFinalPath(at.dir);
    const std::wstring prefix = base.ok() ? base.value() + L"\\" : L"";
    return Said(env.GetFinalPath(at.At(path)), [&](const std::wstring& text) {
      const bool inside = !prefix.empty() && text.starts_with(prefix);
      return FinalTail(inside ? text.substr(prefix.size()) : L"(outside) " + text);
    });
  };
}
// A key relative to the case's key; a leading "\" stays in front.
Call DeleteKey(const std::wstring& key) {
  return [=](Env& env, const Place& at) {
    return Said(env.DeleteRegKey(
        kHkcu, key.starts_with(L"\\") ? L"\\" + Under(at.key, key.substr(1)) : Under(at.key, key)));
  };
}

After There(std::wstring path, std::optional<std::string> bytes = std::nullopt) {
  return {std::move(path), true, std::move(bytes)};
}
After Gone(std::wstring path) { return {std::move(path), false}; }
After KeyThere(std::wstring key) { return {std::move(key), true, std::nullopt, true}; }
After KeyGone(std::wstring key) { return {std::move(key), false, std::nullopt, true}; }

constexpr std::string_view kWineArchive =
    "it keeps the archive bit on every file, whatever SetFileAttributes was given";
constexpr std::string_view kWineReadOnlyOpen =
    "it lets the Unix open decide whether a read-only file may be written, and root may write "
    "any file";

Case C(std::string_view name, std::vector<Setup> setup, Call call, std::string expect = "ok",
       std::vector<After> after = {}, std::optional<WineDiffers> wine = std::nullopt) {
  return {name,           std::move(setup), std::move(call), std::move(expect), std::move(after),
          std::move(wine)};
}

Case C(std::string_view name, std::vector<Setup> setup, Call call, ErrorCode fails,
       std::vector<After> after = {}, std::optional<WineDiffers> wine = std::nullopt) {
  return C(name, std::move(setup), std::move(call), Said(fails), std::move(after), std::move(wine));
}

std::vector<Case> MakeCases() {
  using attr::kArchive, attr::kDirectory, attr::kHidden, attr::kNormal, attr::kReadOnly,
      attr::kSystem;
  return {
      // --- RemoveDir ---------------------------------------------------
      C("remove_dir_empty", {Dir(L"D")}, RemoveDir(L"D"), "ok", {Gone(L"D")}),
      C("remove_dir_trailing_separator", {Dir(L"D")}, RemoveDir(L"D\\"), "ok", {Gone(L"D")}),
      C("remove_dir_holding_a_file", {File(L"D\\a.txt")}, RemoveDir(L"D"), kErrorDirNotEmpty,
        {There(L"D\\a.txt")}),
      C("remove_dir_holding_a_folder", {Dir(L"D\\Sub")}, RemoveDir(L"D"), kErrorDirNotEmpty,
        {There(L"D\\Sub")}),
      C("remove_dir_missing", {}, RemoveDir(L"Missing"), kErrorFileNotFound),
      C("remove_dir_missing_parent", {}, RemoveDir(L"Missing\\D"), kErrorPathNotFound),
      C("remove_dir_on_a_file", {File(L"a.txt")}, RemoveDir(L"a.txt"), kErrorNotADirectory,
        {There(L"a.txt")}),
      // A folder that is the current directory is held open by the process.
      C("remove_dir_current", {Dir(L"D"), CurrentDir(L"D")}, RemoveDir(L"D"),
        kErrorSharingViolation, {There(L"D")}),
      // --- RemoveFile --------------------------------------------------
      C("remove_file", {File(L"a.txt")}, RemoveFile(L"a.txt"), "ok", {Gone(L"a.txt")}),
      C("remove_file_hidden_system", {File(L"a.txt"), Attrs(L"a.txt", kHidden | kSystem)},
        RemoveFile(L"a.txt"), "ok", {Gone(L"a.txt")}),
      C("remove_file_read_only", {File(L"a.txt"), Attrs(L"a.txt", kReadOnly)}, RemoveFile(L"a.txt"),
        kErrorAccessDenied, {There(L"a.txt")}),
      C("remove_file_missing", {}, RemoveFile(L"a.txt"), kErrorFileNotFound),
      C("remove_file_missing_parent", {}, RemoveFile(L"Missing\\a.txt"), kErrorPathNotFound),
      C("remove_file_on_a_folder", {Dir(L"D")}, RemoveFile(L"D"), kErrorAccessDenied,
        {There(L"D")}),
      // "a.txt\" names a folder, and there is none: the file stays.
      C("remove_file_trailing_separator", {File(L"a.txt")}, RemoveFile(L"a.txt\\"),
        kErrorInvalidName, {There(L"a.txt")}),
      // --- GetFileAttrs ------------------------------------------------
      C("attrs_of_a_file", {File(L"a.txt")}, GetAttrs(L"a.txt"), AttrsAre(kArchive)),
      C("attrs_of_a_folder", {Dir(L"D")}, GetAttrs(L"D"), AttrsAre(kDirectory)),
      C("attrs_of_a_file_trailing_separator", {File(L"a.txt")}, GetAttrs(L"a.txt\\"),
        kErrorInvalidName, {},
        WineDiffers{"its attribute query takes a file with a trailing \\ for a missing path, "
                    "though its delete of the same name answers 123",
                    Said(kErrorPathNotFound)}),
      C("attrs_of_a_folder_trailing_separator", {Dir(L"D")}, GetAttrs(L"D\\"),
        AttrsAre(kDirectory)),
      C("attrs_of_a_missing_entry", {}, GetAttrs(L"a.txt"), kErrorFileNotFound),
      C("attrs_of_a_missing_parent", {}, GetAttrs(L"Missing\\a.txt"), kErrorPathNotFound),
      C("attrs_of_a_wildcard", {File(L"a.txt")}, GetAttrs(L"*.txt"), kErrorInvalidName),
      // SetFileAttributes replaces every bit it may set, the archive bit
      // among them.
      C("attrs_set_on_a_file", {File(L"a.txt"), Attrs(L"a.txt", kReadOnly | kHidden | kSystem)},
        GetAttrs(L"a.txt"), AttrsAre(kReadOnly | kHidden | kSystem), {},
        WineDiffers{kWineArchive, AttrsAre(kArchive | kReadOnly | kHidden | kSystem)}),
      C("attrs_set_normal", {File(L"a.txt"), Attrs(L"a.txt", kNormal)}, GetAttrs(L"a.txt"),
        AttrsAre(kNormal), {}, WineDiffers{kWineArchive, AttrsAre(kArchive)}),
      C("attrs_set_on_a_folder", {Dir(L"D"), Attrs(L"D", kReadOnly | kHidden)}, GetAttrs(L"D"),
        AttrsAre(kDirectory | kReadOnly | kHidden), {},
        WineDiffers{"it drops the read-only bit of a folder", AttrsAre(kDirectory | kHidden)}),
      // --- ListFiles ---------------------------------------------------
      C("list_empty_folder", {Dir(L"D")}, ListFiles(L"D\\"), Names({})),
      C("list_files_not_folders",
        {File(L"D\\a.txt"), File(L"D\\Hidden.dat"), Attrs(L"D\\Hidden.dat", kHidden),
         File(L"D\\sys"), Attrs(L"D\\sys", kSystem), File(L"D\\Sub\\inner.txt"), Dir(L"D\\Empty")},
        ListFiles(L"D\\"), Names({L"a.txt", L"Hidden.dat", L"sys"})),
      C("list_without_trailing_separator", {File(L"D\\a.txt")}, ListFiles(L"D"), Names({L"a.txt"})),
      C("list_missing_folder", {}, ListFiles(L"Missing\\"), kErrorPathNotFound),
      C("list_a_file", {File(L"a.txt")}, ListFiles(L"a.txt\\"), kErrorNotADirectory, {},
        WineDiffers{"its search of \"file\\*\" answers 123 (invalid name)",
                    Said(kErrorInvalidName)}),
      // An empty drive root has nothing at all to find.
      {.name = "list_empty_drive_root",
       .call = ListEmptyDriveRoot(),
       .expect = Names({}),
       .needs_empty_drive = true},
      // --- RenameFile --------------------------------------------------
      C("rename_onto_a_file", {File(L"a.txt", "new"), File(L"b.txt", "old")},
        Rename(L"a.txt", L"b.txt"), "ok", {Gone(L"a.txt"), There(L"b.txt", "new")}),
      C("rename_to_a_new_name", {File(L"a.txt", "new")}, Rename(L"a.txt", L"D\\..\\c.txt"), "ok",
        {Gone(L"a.txt"), There(L"c.txt", "new")}),
      C("rename_onto_a_read_only_file",
        {File(L"a.txt", "new"), File(L"b.txt", "old"), Attrs(L"b.txt", kReadOnly)},
        Rename(L"a.txt", L"b.txt"), kErrorAccessDenied,
        {There(L"a.txt", "new"), There(L"b.txt", "old")},
        WineDiffers{"its rename replaces a read-only file: it does not look at the target's "
                    "read-only attribute",
                    "ok", std::vector{Gone(L"a.txt"), There(L"b.txt", "new")}}),
      C("rename_onto_a_folder", {File(L"a.txt"), Dir(L"D")}, Rename(L"a.txt", L"D"),
        kErrorAccessDenied, {There(L"a.txt"), There(L"D")}),
      C("rename_missing_file", {}, Rename(L"a.txt", L"b.txt"), kErrorFileNotFound,
        {Gone(L"b.txt")}),
      C("rename_into_a_missing_folder", {File(L"a.txt")}, Rename(L"a.txt", L"Missing\\b.txt"),
        kErrorPathNotFound, {There(L"a.txt")}),
      // --- ReadWholeFile and WriteWholeFile ----------------------------
      C("read_a_file", {File(L"a.txt", "line\r\n")}, Read(L"a.txt"), Bytes("line\r\n")),
      C("read_a_missing_file", {}, Read(L"a.txt"), kErrorFileNotFound),
      C("read_a_folder", {Dir(L"D")}, Read(L"D"), kErrorAccessDenied),
      C("write_a_new_file", {}, Write(L"a.txt", "new"), "ok", {There(L"a.txt", "new")}),
      C("write_over_a_longer_file", {File(L"a.txt", "older and longer")}, Write(L"a.txt", "new"),
        "ok", {There(L"a.txt", "new")}),
      C("write_a_read_only_file", {File(L"a.txt", "old"), Attrs(L"a.txt", kReadOnly)},
        Write(L"a.txt", "new"), kErrorAccessDenied, {There(L"a.txt", "old")},
        WineDiffers{kWineReadOnlyOpen, "ok", std::vector{There(L"a.txt", "new")}}),
      // The file is made anew with the normal attribute, which an existing
      // hidden or system file refuses.
      C("write_over_a_hidden_file", {File(L"a.txt", "old"), Attrs(L"a.txt", kHidden)},
        Write(L"a.txt", "new"), kErrorAccessDenied, {There(L"a.txt", "old")},
        WineDiffers{"it makes a hidden file anew with the normal attribute", "ok",
                    std::vector{There(L"a.txt", "new")}}),
      C("write_in_a_missing_folder", {}, Write(L"Missing\\a.txt", "new"), kErrorPathNotFound),
      // --- SetCurrentDir -----------------------------------------------
      C("current_dir_missing", {}, SetCurrentDir(L"Missing"), kErrorFileNotFound),
      C("current_dir_on_a_file", {File(L"a.txt")}, SetCurrentDir(L"a.txt"), kErrorNotADirectory),
      // --- GetFileIdentity ---------------------------------------------
      C("identity_through_dot", {Dir(L"D")}, SameIdentity(L"D\\.", L"D"), Same(true)),
      C("identity_through_dot_dot", {Dir(L"D\\Sub")}, SameIdentity(L"D\\Sub\\..", L"D"),
        Same(true)),
      C("identity_trailing_separator", {Dir(L"D")}, SameIdentity(L"D\\", L"D"), Same(true)),
      C("identity_other_case", {Dir(L"Dir")}, SameIdentity(L"dIR", L"Dir"), Same(true)),
      C("identity_of_a_file_through_its_folder", {File(L"D\\a.txt")},
        SameIdentity(L"D\\.\\A.TXT", L"D\\a.txt"), Same(true)),
      C("identity_of_two_files", {File(L"a.txt"), File(L"b.txt")}, SameIdentity(L"a.txt", L"b.txt"),
        Same(false)),
      C("identity_of_a_folder_and_its_file", {File(L"D\\a.txt")}, SameIdentity(L"D", L"D\\a.txt"),
        Same(false)),
      C("identity_missing", {}, SameIdentity(L"Missing", L""), kErrorFileNotFound),
      C("identity_missing_parent", {}, SameIdentity(L"Missing\\D", L""), kErrorPathNotFound),
      // --- GetFinalPath ------------------------------------------------
      // The object's own path, with the letter case it was created with.
      C("final_path_of_a_folder", {Dir(L"Dir")}, FinalPath(L"Dir"), FinalTail(L"Dir")),
      C("final_path_through_aliases", {Dir(L"Dir\\Sub")}, FinalPath(L"dir\\SUB\\..\\.\\"),
        FinalTail(L"Dir")),
      C("final_path_of_a_file", {File(L"Dir\\File.txt")}, FinalPath(L"DIR\\file.TXT"),
        FinalTail(L"Dir\\File.txt")),
      C("final_path_missing", {}, FinalPath(L"Missing"), kErrorFileNotFound),
      // --- DeleteRegKey ------------------------------------------------
      C("reg_delete_key", {RegKey(L"K")}, DeleteKey(L"K"), "ok", {KeyGone(L"K")}),
      C("reg_delete_trailing_separator", {RegKey(L"K")}, DeleteKey(L"K\\"), "ok", {KeyGone(L"K")}),
      C("reg_delete_key_with_subkeys", {RegKey(L"K\\Sub")}, DeleteKey(L"K"), kErrorAccessDenied,
        {KeyThere(L"K\\Sub")}),
      C("reg_delete_missing", {}, DeleteKey(L"K"), kErrorFileNotFound),
      C("reg_delete_leading_separator", {RegKey(L"K")}, DeleteKey(L"\\K"), kErrorBadPathName,
        {KeyThere(L"K")}),
  };
}

// The state of the entries after the call: "NAME there", "NAME gone" or
// "NAME holds BYTES" (nothing where `machine` is not given).
std::string State(const std::vector<After>& after, Machine* machine, const Place& at) {
  std::string text;
  for (const After& a : after) {
    const std::wstring path = a.key ? Under(at.key, a.path) : at.At(a.path);
    const bool exists = !machine ? a.exists
                        : a.key  ? machine->RegKeyExists(kHkcu, path)
                                 : machine->Exists(path);
    std::optional<std::string> bytes = a.bytes;
    if (machine && exists && a.bytes) bytes = machine->Content(path);
    text += "; " + Ascii(a.path) +
            (!exists    ? " gone"
             : !a.bytes ? " there"
                        : " holds " + (bytes ? Quoted(*bytes) : "?"));
  }
  return text;
}

}  // namespace

std::wstring Place::At(const std::wstring& relative) const { return Under(dir, relative); }

std::span<const Case> Cases() {
  static const std::vector<Case> kCases = MakeCases();
  return kCases;
}

Outcome RunCase(const Case& c, Env& env, Machine& machine, const Roots& roots, bool under_wine) {
  const std::string name(c.name);
  const std::wstring wide_name(c.name.begin(), c.name.end());
  const Place at{roots.scratch + L"\\" + wide_name, roots.reg_scratch + L"\\" + wide_name, roots};
  if (c.needs_empty_drive && roots.empty_drive_root.empty()) {
    return {Outcome::kNotRun, "not run " + name + ": this machine has no empty drive to list"};
  }
  if (!machine.MakeDir(at.dir)) {
    return {Outcome::kFail, "FAIL " + name + ": cannot make " + Ascii(at.dir)};
  }
  for (std::size_t i = 0; i < c.setup.size(); ++i) {
    if (!c.setup[i](machine, at)) {
      return {Outcome::kFail, "FAIL " + name + ": setup step " + std::to_string(i + 1) + " failed"};
    }
  }
  const bool wine = under_wine && c.wine.has_value();
  const std::vector<After>& after = wine && c.wine->after ? *c.wine->after : c.after;
  std::string got = c.call(env, at);  // before the state it leaves is read
  got += State(after, &machine, at);
  const std::string want = (wine ? c.wine->answer : c.expect) + State(after, nullptr, at);
  std::string line = (got == want ? "pass " : "FAIL ") + name + ": " + got;
  if (got != want) line += ", expected " + want;
  if (wine) {
    line += " (wine differs: " + std::string(c.wine->why) + "; Windows gives " + c.expect +
            State(c.after, nullptr, at) + ")";
  }
  return {got == want ? Outcome::kPass : Outcome::kFail, line};
}

}  // namespace uninstall::conformance
