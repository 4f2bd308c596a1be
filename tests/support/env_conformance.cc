#include "tests/support/env_conformance.h"

#include <algorithm>
#include <utility>

namespace uninstall::conformance {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr ErrorCode kErrorNotADirectory = kErrorDirectory;

SetupStep Dir(std::wstring path) { return {Step::kDir, std::move(path)}; }
SetupStep File(std::wstring path, std::string bytes = "bytes") {
  return {Step::kFile, std::move(path), 0, std::move(bytes)};
}
SetupStep Attrs(std::wstring path, std::uint32_t attrs) {
  return {Step::kAttrs, std::move(path), attrs};
}
SetupStep CurrentDir(std::wstring path) { return {Step::kCurrentDir, std::move(path)}; }
SetupStep RegKey(std::wstring key) { return {Step::kRegKey, std::move(key)}; }

Answer Fails(ErrorCode code) { return Answer{code}; }
Answer AttrsAre(std::uint32_t attrs) { return Answer{kErrorSuccess, attrs}; }
Answer Names(std::vector<std::wstring> names) {
  return Answer{kErrorSuccess, std::nullopt, std::move(names)};
}
Answer Bytes(std::string bytes) {
  return Answer{kErrorSuccess, std::nullopt, std::nullopt, std::move(bytes)};
}
Answer Same(bool same) { return Answer{kErrorSuccess, std::nullopt, std::nullopt, {}, same}; }
Answer FinalTail(std::wstring tail) {
  return Answer{kErrorSuccess, std::nullopt, std::nullopt, {}, std::nullopt, std::move(tail)};
}

After There(std::wstring path, std::optional<std::string> bytes = std::nullopt) {
  return {std::move(path), true, std::move(bytes)};
}
After Gone(std::wstring path) { return {std::move(path), false}; }

// A case as a chain: Do(name, setup, call, path), then what differs from
// the defaults (the case's own folder, success, no state to check).
class Builder {
 public:
  Builder(std::string_view name, std::vector<SetupStep> setup, Call call, std::wstring path) {
    case_.name = name;
    case_.setup = std::move(setup);
    case_.call = call;
    case_.path = std::move(path);
  }
  Builder&& To(std::wstring other) && {
    case_.other = std::move(other);
    return std::move(*this);
  }
  Builder&& Writing(std::string bytes) && {
    case_.bytes = std::move(bytes);
    return std::move(*this);
  }
  Builder&& At(Base base) && {
    case_.base = base;
    return std::move(*this);
  }
  Builder&& Gives(Answer answer) && {
    case_.expect = std::move(answer);
    return std::move(*this);
  }
  Builder&& Leaves(std::vector<After> after) && {
    case_.after = std::move(after);
    return std::move(*this);
  }
  Builder&& UnderWine(std::string_view why, Answer answer,
                      std::optional<std::vector<After>> after = std::nullopt) && {
    case_.wine = WineDiffers{why, std::move(answer), std::move(after)};
    return std::move(*this);
  }
  operator Case() && { return std::move(case_); }  // NOLINT(google-explicit-constructor)

 private:
  Case case_;
};

Builder Do(std::string_view name, std::vector<SetupStep> setup, Call call, std::wstring path) {
  return Builder(name, std::move(setup), call, std::move(path));
}

constexpr std::string_view kWineArchive =
    "it keeps the archive bit on every file, whatever SetFileAttributes was given";
constexpr std::string_view kWineReadOnlyOpen =
    "it lets the Unix open decide whether a read-only file may be written, and root may write "
    "any file";

std::vector<Case> MakeCases() {
  using attr::kArchive;
  using attr::kDirectory;
  using attr::kHidden;
  using attr::kNormal;
  using attr::kReadOnly;
  using attr::kSystem;
  return {
      // --- RemoveDir ---------------------------------------------------
      Do("remove_dir_empty", {Dir(L"D")}, Call::kRemoveDir, L"D").Leaves({Gone(L"D")}),
      Do("remove_dir_trailing_separator", {Dir(L"D")}, Call::kRemoveDir, L"D\\")
          .Leaves({Gone(L"D")}),
      Do("remove_dir_holding_a_file", {File(L"D\\a.txt")}, Call::kRemoveDir, L"D")
          .Gives(Fails(kErrorDirNotEmpty))
          .Leaves({There(L"D\\a.txt")}),
      Do("remove_dir_holding_a_folder", {Dir(L"D\\Sub")}, Call::kRemoveDir, L"D")
          .Gives(Fails(kErrorDirNotEmpty))
          .Leaves({There(L"D\\Sub")}),
      Do("remove_dir_missing", {}, Call::kRemoveDir, L"Missing").Gives(Fails(kErrorFileNotFound)),
      Do("remove_dir_missing_parent", {}, Call::kRemoveDir, L"Missing\\D")
          .Gives(Fails(kErrorPathNotFound)),
      Do("remove_dir_on_a_file", {File(L"a.txt")}, Call::kRemoveDir, L"a.txt")
          .Gives(Fails(kErrorNotADirectory))
          .Leaves({There(L"a.txt")}),
      // A folder that is the current directory is held open by the process.
      Do("remove_dir_current", {Dir(L"D"), CurrentDir(L"D")}, Call::kRemoveDir, L"D")
          .Gives(Fails(kErrorSharingViolation))
          .Leaves({There(L"D")}),
      // --- RemoveFile --------------------------------------------------
      Do("remove_file", {File(L"a.txt")}, Call::kRemoveFile, L"a.txt").Leaves({Gone(L"a.txt")}),
      Do("remove_file_hidden_system", {File(L"a.txt"), Attrs(L"a.txt", kHidden | kSystem)},
         Call::kRemoveFile, L"a.txt")
          .Leaves({Gone(L"a.txt")}),
      Do("remove_file_read_only", {File(L"a.txt"), Attrs(L"a.txt", kReadOnly)}, Call::kRemoveFile,
         L"a.txt")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"a.txt")}),
      Do("remove_file_missing", {}, Call::kRemoveFile, L"a.txt").Gives(Fails(kErrorFileNotFound)),
      Do("remove_file_missing_parent", {}, Call::kRemoveFile, L"Missing\\a.txt")
          .Gives(Fails(kErrorPathNotFound)),
      Do("remove_file_on_a_folder", {Dir(L"D")}, Call::kRemoveFile, L"D")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"D")}),
      // "a.txt\" names a folder, and there is none: the file stays.
      Do("remove_file_trailing_separator", {File(L"a.txt")}, Call::kRemoveFile, L"a.txt\\")
          .Gives(Fails(kErrorInvalidName))
          .Leaves({There(L"a.txt")}),
      // --- GetFileAttrs ------------------------------------------------
      Do("attrs_of_a_file", {File(L"a.txt")}, Call::kGetFileAttrs, L"a.txt")
          .Gives(AttrsAre(kArchive)),
      Do("attrs_of_a_folder", {Dir(L"D")}, Call::kGetFileAttrs, L"D").Gives(AttrsAre(kDirectory)),
      Do("attrs_of_a_file_trailing_separator", {File(L"a.txt")}, Call::kGetFileAttrs, L"a.txt\\")
          .Gives(Fails(kErrorInvalidName))
          .UnderWine(
              "its attribute query takes a file with a trailing \\ for a missing path, though "
              "its delete of the same name answers 123",
              Fails(kErrorPathNotFound)),
      Do("attrs_of_a_folder_trailing_separator", {Dir(L"D")}, Call::kGetFileAttrs, L"D\\")
          .Gives(AttrsAre(kDirectory)),
      Do("attrs_of_a_missing_entry", {}, Call::kGetFileAttrs, L"a.txt")
          .Gives(Fails(kErrorFileNotFound)),
      Do("attrs_of_a_missing_parent", {}, Call::kGetFileAttrs, L"Missing\\a.txt")
          .Gives(Fails(kErrorPathNotFound)),
      Do("attrs_of_a_wildcard", {File(L"a.txt")}, Call::kGetFileAttrs, L"*.txt")
          .Gives(Fails(kErrorInvalidName)),
      // SetFileAttributes replaces every bit it may set, the archive bit
      // among them.
      Do("attrs_set_on_a_file", {File(L"a.txt"), Attrs(L"a.txt", kReadOnly | kHidden | kSystem)},
         Call::kGetFileAttrs, L"a.txt")
          .Gives(AttrsAre(kReadOnly | kHidden | kSystem))
          .UnderWine(kWineArchive, AttrsAre(kArchive | kReadOnly | kHidden | kSystem)),
      Do("attrs_set_normal", {File(L"a.txt"), Attrs(L"a.txt", kNormal)}, Call::kGetFileAttrs,
         L"a.txt")
          .Gives(AttrsAre(kNormal))
          .UnderWine(kWineArchive, AttrsAre(kArchive)),
      Do("attrs_set_on_a_folder", {Dir(L"D"), Attrs(L"D", kReadOnly | kHidden)},
         Call::kGetFileAttrs, L"D")
          .Gives(AttrsAre(kDirectory | kReadOnly | kHidden))
          .UnderWine("it drops the read-only bit of a folder", AttrsAre(kDirectory | kHidden)),
      // --- ListFiles ---------------------------------------------------
      Do("list_empty_folder", {Dir(L"D")}, Call::kListFiles, L"D\\").Gives(Names({})),
      Do("list_files_not_folders",
         {File(L"D\\a.txt"), File(L"D\\Hidden.dat"), Attrs(L"D\\Hidden.dat", kHidden),
          File(L"D\\sys"), Attrs(L"D\\sys", kSystem), File(L"D\\Sub\\inner.txt"), Dir(L"D\\Empty")},
         Call::kListFiles, L"D\\")
          .Gives(Names({L"a.txt", L"Hidden.dat", L"sys"})),
      Do("list_without_trailing_separator", {File(L"D\\a.txt")}, Call::kListFiles, L"D")
          .Gives(Names({L"a.txt"})),
      Do("list_missing_folder", {}, Call::kListFiles, L"Missing\\")
          .Gives(Fails(kErrorPathNotFound)),
      Do("list_a_file", {File(L"a.txt")}, Call::kListFiles, L"a.txt\\")
          .Gives(Fails(kErrorNotADirectory))
          .UnderWine("its search of \"file\\*\" answers 123 (invalid name)",
                     Fails(kErrorInvalidName)),
      // The root of a drive has no "." or ".." entry: an empty one has
      // nothing at all to find.
      Do("list_empty_drive_root", {}, Call::kListFiles, L"")
          .At(Base::kEmptyDriveRoot)
          .Gives(Names({})),
      // --- RenameFile --------------------------------------------------
      Do("rename_onto_a_file", {File(L"a.txt", "new"), File(L"b.txt", "old")}, Call::kRenameFile,
         L"a.txt")
          .To(L"b.txt")
          .Leaves({Gone(L"a.txt"), There(L"b.txt", "new")}),
      Do("rename_to_a_new_name", {File(L"a.txt", "new")}, Call::kRenameFile, L"a.txt")
          .To(L"D\\..\\c.txt")
          .Leaves({Gone(L"a.txt"), There(L"c.txt", "new")}),
      Do("rename_onto_a_read_only_file",
         {File(L"a.txt", "new"), File(L"b.txt", "old"), Attrs(L"b.txt", kReadOnly)},
         Call::kRenameFile, L"a.txt")
          .To(L"b.txt")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"a.txt", "new"), There(L"b.txt", "old")})
          .UnderWine("its rename replaces a read-only file: it does not look at the "
                     "target's read-only attribute",
                     {}, {{Gone(L"a.txt"), There(L"b.txt", "new")}}),
      Do("rename_onto_a_folder", {File(L"a.txt"), Dir(L"D")}, Call::kRenameFile, L"a.txt")
          .To(L"D")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"a.txt"), There(L"D")}),
      Do("rename_missing_file", {}, Call::kRenameFile, L"a.txt")
          .To(L"b.txt")
          .Gives(Fails(kErrorFileNotFound))
          .Leaves({Gone(L"b.txt")}),
      Do("rename_into_a_missing_folder", {File(L"a.txt")}, Call::kRenameFile, L"a.txt")
          .To(L"Missing\\b.txt")
          .Gives(Fails(kErrorPathNotFound))
          .Leaves({There(L"a.txt")}),
      // --- ReadWholeFile and WriteWholeFile ----------------------------
      Do("read_a_file", {File(L"a.txt", "line\r\n")}, Call::kReadWholeFile, L"a.txt")
          .Gives(Bytes("line\r\n")),
      Do("read_a_missing_file", {}, Call::kReadWholeFile, L"a.txt")
          .Gives(Fails(kErrorFileNotFound)),
      Do("read_a_folder", {Dir(L"D")}, Call::kReadWholeFile, L"D").Gives(Fails(kErrorAccessDenied)),
      Do("write_a_new_file", {}, Call::kWriteWholeFile, L"a.txt")
          .Writing("new")
          .Leaves({There(L"a.txt", "new")}),
      Do("write_over_a_longer_file", {File(L"a.txt", "older and longer")}, Call::kWriteWholeFile,
         L"a.txt")
          .Writing("new")
          .Leaves({There(L"a.txt", "new")}),
      Do("write_a_read_only_file", {File(L"a.txt", "old"), Attrs(L"a.txt", kReadOnly)},
         Call::kWriteWholeFile, L"a.txt")
          .Writing("new")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"a.txt", "old")})
          .UnderWine(kWineReadOnlyOpen, {}, {{There(L"a.txt", "new")}}),
      // The file is made anew with the normal attribute, which an existing
      // hidden or system file refuses.
      Do("write_over_a_hidden_file", {File(L"a.txt", "old"), Attrs(L"a.txt", kHidden)},
         Call::kWriteWholeFile, L"a.txt")
          .Writing("new")
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"a.txt", "old")})
          .UnderWine("it makes a hidden file anew with the normal attribute", {},
                     {{There(L"a.txt", "new")}}),
      Do("write_in_a_missing_folder", {}, Call::kWriteWholeFile, L"Missing\\a.txt")
          .Writing("new")
          .Gives(Fails(kErrorPathNotFound)),
      // --- SetCurrentDir -----------------------------------------------
      Do("current_dir_missing", {}, Call::kSetCurrentDir, L"Missing")
          .Gives(Fails(kErrorFileNotFound)),
      Do("current_dir_on_a_file", {File(L"a.txt")}, Call::kSetCurrentDir, L"a.txt")
          .Gives(Fails(kErrorNotADirectory)),
      // --- GetFileIdentity ---------------------------------------------
      Do("identity_through_dot", {Dir(L"D")}, Call::kSameIdentity, L"D\\.")
          .To(L"D")
          .Gives(Same(true)),
      Do("identity_through_dot_dot", {Dir(L"D\\Sub")}, Call::kSameIdentity, L"D\\Sub\\..")
          .To(L"D")
          .Gives(Same(true)),
      Do("identity_trailing_separator", {Dir(L"D")}, Call::kSameIdentity, L"D\\")
          .To(L"D")
          .Gives(Same(true)),
      Do("identity_other_case", {Dir(L"Dir")}, Call::kSameIdentity, L"dIR")
          .To(L"Dir")
          .Gives(Same(true)),
      Do("identity_of_a_file_through_its_folder", {File(L"D\\a.txt")}, Call::kSameIdentity,
         L"D\\.\\A.TXT")
          .To(L"D\\a.txt")
          .Gives(Same(true)),
      Do("identity_of_two_files", {File(L"a.txt"), File(L"b.txt")}, Call::kSameIdentity, L"a.txt")
          .To(L"b.txt")
          .Gives(Same(false)),
      Do("identity_of_a_folder_and_its_file", {File(L"D\\a.txt")}, Call::kSameIdentity, L"D")
          .To(L"D\\a.txt")
          .Gives(Same(false)),
      Do("identity_missing", {}, Call::kSameIdentity, L"Missing")
          .To(L"")
          .Gives(Fails(kErrorFileNotFound)),
      Do("identity_missing_parent", {}, Call::kSameIdentity, L"Missing\\D")
          .To(L"")
          .Gives(Fails(kErrorPathNotFound)),
      // --- GetFinalPath ------------------------------------------------
      // The object's own path, with the letter case it was created with.
      Do("final_path_of_a_folder", {Dir(L"Dir")}, Call::kGetFinalPath, L"Dir")
          .Gives(FinalTail(L"Dir")),
      Do("final_path_through_aliases", {Dir(L"Dir\\Sub")}, Call::kGetFinalPath,
         L"dir\\SUB\\..\\.\\")
          .Gives(FinalTail(L"Dir")),
      Do("final_path_of_a_file", {File(L"Dir\\File.txt")}, Call::kGetFinalPath, L"DIR\\file.TXT")
          .Gives(FinalTail(L"Dir\\File.txt")),
      Do("final_path_missing", {}, Call::kGetFinalPath, L"Missing")
          .Gives(Fails(kErrorFileNotFound)),
      // --- DeleteRegKey ------------------------------------------------
      Do("reg_delete_key", {RegKey(L"K")}, Call::kDeleteRegKey, L"K")
          .At(Base::kRegistry)
          .Leaves({Gone(L"K")}),
      Do("reg_delete_trailing_separator", {RegKey(L"K")}, Call::kDeleteRegKey, L"K\\")
          .At(Base::kRegistry)
          .Leaves({Gone(L"K")}),
      Do("reg_delete_key_with_subkeys", {RegKey(L"K\\Sub")}, Call::kDeleteRegKey, L"K")
          .At(Base::kRegistry)
          .Gives(Fails(kErrorAccessDenied))
          .Leaves({There(L"K\\Sub")}),
      Do("reg_delete_missing", {}, Call::kDeleteRegKey, L"K")
          .At(Base::kRegistry)
          .Gives(Fails(kErrorFileNotFound)),
      Do("reg_delete_leading_separator", {RegKey(L"K")}, Call::kDeleteRegKey, L"\\K")
          .At(Base::kRegistry)
          .Gives(Fails(kErrorBadPathName))
          .Leaves({There(L"K")}),
  };
}

// --- Text for the report lines -------------------------------------------

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
  for (const char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

// The answer as far as `shape` has fields: what the expectation names.
std::string Describe(const Answer& answer, const Answer& shape) {
  if (answer.code != kErrorSuccess) return "error " + std::to_string(answer.code);
  std::string text = "ok";
  if (shape.attrs && answer.attrs) text += " attrs=" + Hex(*answer.attrs);
  if (shape.names && answer.names) {
    text += " names=[";
    for (std::size_t i = 0; i < answer.names->size(); ++i) {
      if (i > 0) text += ",";
      text += Ascii((*answer.names)[i]);
    }
    text += "]";
  }
  if (shape.bytes && answer.bytes) text += " bytes=" + Quoted(*answer.bytes);
  if (shape.same && answer.same) text += *answer.same ? " same" : " different";
  if (shape.final_tail && answer.final_tail) text += " final=" + Ascii(*answer.final_tail);
  return text;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

bool Matches(const Answer& got, const Answer& want) {
  if (got.code != want.code) return false;
  if (want.code != kErrorSuccess) return true;
  return (!want.attrs || got.attrs == want.attrs) &&
         (!want.names || (got.names && Sorted(*got.names) == Sorted(*want.names))) &&
         (!want.bytes || got.bytes == want.bytes) && (!want.same || got.same == want.same) &&
         (!want.final_tail || got.final_tail == want.final_tail);
}

// --- Running a case --------------------------------------------------------

struct Place {
  std::wstring dir;  // the case's folder
  std::wstring key;  // the case's registry key
};

std::wstring Under(const std::wstring& base, const std::wstring& relative) {
  return relative.empty() ? base : base + L"\\" + relative;
}

// A registry path relative to the case's key; a leading "\" stays in front.
std::wstring RegPath(const Place& place, const std::wstring& relative) {
  if (relative.starts_with(L"\\")) return L"\\" + Under(place.key, relative.substr(1));
  return Under(place.key, relative);
}

bool Prepare(const SetupStep& step, Machine& machine, const Place& place) {
  const std::wstring path = Under(place.dir, step.path);
  switch (step.step) {
    case Step::kDir:
      return machine.MakeDir(path);
    case Step::kFile: {
      const std::size_t slash = path.rfind(L'\\');
      return machine.MakeDir(path.substr(0, slash)) && machine.MakeFile(path, step.bytes);
    }
    case Step::kAttrs:
      return machine.SetAttrs(path, step.attrs);
    case Step::kCurrentDir:
      return machine.MakeCurrentDir(path);
    case Step::kRegKey:
      return machine.MakeRegKey(kHkcu, Under(place.key, step.path));
  }
  return false;
}

Answer Make(const Case& c, Env& env, const std::wstring& path, const std::wstring& other,
            const Place& place) {
  Answer got;
  const auto take = [&got](const Status& status) { got.code = status.code(); };
  switch (c.call) {
    case Call::kGetFileAttrs: {
      const Result<std::uint32_t> attrs = env.GetFileAttrs(path);
      if (attrs.ok()) got.attrs = attrs.value();
      got.code = attrs.code();
      break;
    }
    case Call::kRemoveFile:
      take(env.RemoveFile(path));
      break;
    case Call::kRemoveDir:
      take(env.RemoveDir(path));
      break;
    case Call::kListFiles: {
      Result<std::vector<std::wstring>> names = env.ListFiles(path);
      got.code = names.code();
      if (names.ok()) got.names = std::move(names).value();
      break;
    }
    case Call::kReadWholeFile: {
      Result<std::string> bytes = env.ReadWholeFile(path);
      got.code = bytes.code();
      if (bytes.ok()) got.bytes = std::move(bytes).value();
      break;
    }
    case Call::kWriteWholeFile:
      take(env.WriteWholeFile(path, c.bytes));
      break;
    case Call::kRenameFile:
      take(env.RenameFile(path, other));
      break;
    case Call::kSetCurrentDir:
      take(env.SetCurrentDir(path));
      break;
    case Call::kSameIdentity: {
      const Result<FileIdentity> first = env.GetFileIdentity(path);
      const Result<FileIdentity> second = env.GetFileIdentity(other);
      got.code = first.ok() ? second.code() : first.code();
      if (first.ok() && second.ok()) got.same = first.value().id == second.value().id;
      break;
    }
    case Call::kGetFinalPath: {
      const Result<std::wstring> base = env.GetFinalPath(place.dir);
      const Result<std::wstring> final_path = env.GetFinalPath(path);
      got.code = final_path.code();
      if (final_path.ok()) {
        const std::wstring& text = final_path.value();
        const std::wstring prefix = base.ok() ? base.value() + L"\\" : L"";
        // Anything outside the case's folder shows whole.
        got.final_tail = !prefix.empty() && text.starts_with(prefix) ? text.substr(prefix.size())
                                                                     : L"(outside) " + text;
      }
      break;
    }
    case Call::kDeleteRegKey:
      take(env.DeleteRegKey(kHkcu, path));
      break;
  }
  return got;
}

// What differs between the state after the call and the case's `after`.
std::string CheckAfter(const Case& c, const std::vector<After>& state, Machine& machine,
                       const Place& place) {
  std::string problems;
  for (const After& after : state) {
    const bool registry = c.base == Base::kRegistry;
    const std::wstring path =
        registry ? Under(place.key, after.path) : Under(place.dir, after.path);
    const bool exists = registry ? machine.RegKeyExists(kHkcu, path) : machine.Exists(path);
    if (exists != after.exists) {
      problems += "; " + Ascii(after.path) + (exists ? " is there, expected gone" : " is gone");
    } else if (after.bytes) {
      const std::optional<std::string> bytes = machine.Content(path);
      if (bytes != after.bytes) {
        problems += "; " + Ascii(after.path) + " holds " + (bytes ? Quoted(*bytes) : "nothing") +
                    ", expected " + Quoted(*after.bytes);
      }
    }
  }
  return problems;
}

}  // namespace

std::span<const Case> Cases() {
  static const std::vector<Case> kCases = MakeCases();
  return kCases;
}

Outcome RunCase(const Case& c, Env& env, Machine& machine, const Roots& roots, bool under_wine) {
  const std::string name(c.name);
  const Place place{roots.scratch + L"\\" + std::wstring(c.name.begin(), c.name.end()),
                    roots.reg_scratch + L"\\" + std::wstring(c.name.begin(), c.name.end())};
  if (c.base == Base::kEmptyDriveRoot && roots.empty_drive_root.empty()) {
    return {Outcome::kNotRun, "not run " + name + ": this machine has no empty drive to list"};
  }
  if (!machine.MakeDir(place.dir)) {
    return {Outcome::kFail, "FAIL " + name + ": cannot make " + Ascii(place.dir)};
  }
  for (const SetupStep& step : c.setup) {
    if (!Prepare(step, machine, place)) {
      return {Outcome::kFail, "FAIL " + name + ": setup failed at " + Ascii(step.path)};
    }
  }
  std::wstring path;
  std::wstring other = Under(place.dir, c.other);
  switch (c.base) {
    case Base::kCase:
      path = Under(place.dir, c.path);
      break;
    case Base::kEmptyDriveRoot:
      path = roots.empty_drive_root + c.path;
      break;
    case Base::kRegistry:
      path = RegPath(place, c.path);
      break;
  }
  const Answer got = Make(c, env, path, other, place);
  const bool wine_applies = under_wine && c.wine.has_value();
  const Answer& want = wine_applies ? c.wine->answer : c.expect;
  const std::string state =
      CheckAfter(c, wine_applies && c.wine->after ? *c.wine->after : c.after, machine, place);

  std::string line = name + ": " + Describe(got, want);
  if (!Matches(got, want)) line += ", expected " + Describe(want, want);
  line += state;
  if (wine_applies) {
    line += " (wine differs: " + std::string(c.wine->why) + "; Windows gives " +
            Describe(c.expect, c.expect) + ")";
  }
  const bool passed = Matches(got, want) && state.empty();
  return {passed ? Outcome::kPass : Outcome::kFail, (passed ? "pass " : "FAIL ") + line};
}

}  // namespace uninstall::conformance
