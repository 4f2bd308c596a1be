#include "tests/support/fake_env.h"

#include <algorithm>
#include <functional>

#include "paths/normalise.h"

namespace uninstall {
namespace {

std::wstring Hex(std::int32_t value) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out = L"0x00000000";
  auto bits = static_cast<std::uint32_t>(value);
  for (int i = 9; i >= 2; --i, bits >>= 4) out[static_cast<std::size_t>(i)] = kDigits[bits & 0xF];
  return out;
}

// The last component of a path as written (letter case kept), without
// trailing separators, dots or spaces.
std::wstring LastName(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/' || path.back() == L'.' ||
                           path.back() == L' ')) {
    path.remove_suffix(1);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

// Registry key paths are names, not file paths: only letter case and
// trailing "\" are ignored.
std::wstring RegKeyName(std::wstring_view key_path) {
  std::wstring key = UpperCase(key_path);
  while (!key.empty() && key.back() == L'\\') key.pop_back();
  return key;
}

std::wstring RegParent(const std::wstring& key) {
  const std::size_t slash = key.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
}

// The attributes a tree's marks stand for ("L", locked, is no attribute).
constexpr std::pair<wchar_t, std::uint32_t> kMarks[] = {{L'H', attr::kHidden},
                                                        {L'S', attr::kSystem},
                                                        {L'R', attr::kReadOnly},
                                                        {L'J', attr::kReparsePoint}};

constexpr ErrorCode kErrorInvalidHandle = 6;
constexpr ErrorCode kErrorNotSameDevice = 17;
constexpr ErrorCode kErrorAlreadyExists = 183;
constexpr int kMaxLinkHops = 32;

}  // namespace

std::vector<TreeItem> TreeItems(std::wstring_view tree) {
  std::vector<TreeItem> out;
  // The folders whose braces are open: path, marks, entries read before them.
  struct Open {
    std::wstring path;
    std::wstring marks;
    std::size_t before;
  };
  std::vector<Open> open;
  bool first = true;
  for (std::size_t at = 0; at < tree.size();) {
    if (tree[at] == L'}') {
      if (!open.empty() && out.size() == open.back().before) {
        out.push_back({open.back().path, open.back().marks});
      }
      if (!open.empty()) open.pop_back();
      ++at;
      first = false;
      continue;
    }
    if (!first && tree[at] == L',') ++at;
    first = false;
    while (at < tree.size() && tree[at] == L' ') ++at;
    std::size_t end = tree.find_first_of(L",{}", at);
    // Braces followed by "\" are part of a name, as a CLSID's "{A}\".
    for (std::size_t close = 0;
         end != std::wstring_view::npos && tree[end] == L'{' &&
         (close = tree.find(L"}\\", end)) < tree.find_first_of(L",{", end + 1);) {
      end = tree.find_first_of(L",{}", close + 1);
    }
    end = std::min(end, tree.size());
    std::wstring path = open.empty() ? L"" : open.back().path;
    std::wstring marks;
    // Component by component: marks after a middle one belong to its folder.
    for (std::size_t start = at; start < end;) {
      const std::size_t stop = std::min(tree.find(L'\\', start), end);
      std::wstring_view name = tree.substr(start, stop - start);
      const std::size_t colon = name.find(L':');
      marks = colon != std::wstring_view::npos && colon + 1 < name.size()
                  ? std::wstring(name.substr(colon + 1))
                  : L"";
      path += name.substr(0, marks.empty() ? name.size() : colon);
      if (stop < end) path += L'\\';
      if (stop < end && stop + 1 < end && !marks.empty()) out.push_back({path, marks});
      start = stop + 1;
    }
    at = end;
    if (at == tree.size() || tree[at] != L'{') {
      out.push_back({path, marks});
      continue;
    }
    ++at;
    first = true;
    open.push_back({path, marks, out.size()});
    if (!marks.empty()) out.push_back({path, marks});
  }
  return out;
}

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

FakeEnv::FakeEnv() {
  set_windows_dir(L"C:\\WINDOWS");
  set_system_dir(L"C:\\WINDOWS\\SYSTEM32");
}

std::wstring FakeEnv::Buffer(std::wstring_view text) {
  std::wstring buffer(text);
  if (buffer.size() < kQueryBufferChars) buffer.resize(kQueryBufferChars, L'\0');
  return buffer;
}

std::wstring FakeEnv::Key(std::wstring_view path) {
  std::wstring key = ComparablePath(path);
  while (key.size() > 1 && key.back() == L'\\') key.pop_back();
  return key;
}

std::wstring FakeEnv::Resolve(std::wstring_view path, bool follow_last) const {
  std::wstring key = Key(path);
  if (aliases_.empty() && links_.empty()) return key;
  // Component by component from the left, as the file system walks a path;
  // each replacement starts the walk again, up to a limit that stops loops.
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    bool replaced = false;
    std::size_t end = 0;
    while (!replaced) {
      end = key.find(L'\\', end + 1);
      if (end == std::wstring::npos) end = key.size();
      const std::wstring prefix = key.substr(0, end);
      const bool last = end == key.size();
      auto alias = aliases_.find(prefix);
      auto link = links_.find(prefix);
      if (alias != aliases_.end()) {
        key = alias->second + key.substr(end);
        replaced = true;
      } else if (link != links_.end() && (!last || follow_last)) {
        key = link->second + key.substr(end);
        replaced = true;
      }
      if (last) break;
    }
    if (!replaced) break;
  }
  return key;
}

void FakeEnv::PutNode(const std::wstring& key, Node node) {
  node.id = next_id_++;
  nodes_[key] = std::move(node);
}

std::wstring FakeEnv::Parent(const std::wstring& key) {
  const std::size_t slash = key.rfind(L'\\');
  if (slash == std::wstring::npos) return {};
  return key.substr(0, slash);
}

std::wstring FakeEnv::AsWritten(std::wstring_view path, const std::wstring& key) {
  std::wstring written = NormalisePath(path).Text();
  return UpperCase(written) == key ? written : key;
}

ErrorCode FakeEnv::MissingCode(const std::wstring& key) const {
  auto parent = nodes_.find(Parent(key));
  const bool in_a_folder = parent != nodes_.end() && (parent->second.attrs & attr::kDirectory) != 0;
  return in_a_folder || Parent(key).empty() ? kErrorFileNotFound : kErrorPathNotFound;
}

bool FakeEnv::HasChildren(const std::wstring& key) const {
  const std::wstring prefix = key + L'\\';
  auto it = nodes_.lower_bound(prefix);
  return it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void FakeEnv::AddDir(std::wstring_view path, std::uint32_t attrs) {
  const std::wstring key = Resolve(path, false);
  if (key.empty()) return;
  // Missing parents first, outermost first, each named as the path writes it.
  const std::wstring named = AsWritten(path, key);
  std::vector<std::wstring> missing;
  for (std::wstring parent = Parent(key); !parent.empty() && !nodes_.contains(parent);
       parent = Parent(parent)) {
    missing.push_back(parent);
  }
  std::reverse(missing.begin(), missing.end());
  for (const std::wstring& dir : missing) {
    Node node;
    node.name = LastName(named.substr(0, dir.size()));
    node.attrs = attr::kDirectory;
    PutNode(dir, std::move(node));
  }
  Node node;
  node.name = LastName(path);
  node.attrs = attrs | attr::kDirectory;
  PutNode(key, std::move(node));
}

void FakeEnv::AddFile(std::wstring_view path, std::string content, std::uint32_t attrs) {
  const std::wstring key = Resolve(path, false);
  const std::wstring parent = Parent(key);
  if (!parent.empty() && !nodes_.contains(parent))
    AddDir(AsWritten(path, key).substr(0, parent.size()));
  Node node;
  node.name = LastName(path);
  node.attrs = attrs & ~attr::kDirectory;
  node.content = std::move(content);
  PutNode(key, std::move(node));
}

void FakeEnv::AddTree(std::wstring_view tree) {
  for (const TreeItem& item : TreeItems(tree)) {
    std::uint32_t attrs = 0;
    for (const auto& [mark, bit] : kMarks)
      attrs |= item.marks.find(mark) != std::wstring::npos ? bit : 0;
    if (item.path.ends_with(L'\\')) {
      AddDir(item.path, attrs);
    } else {
      AddFile(item.path, "", attrs == 0 ? attr::kArchive : attrs);
    }
    if (item.marks.find(L'L') != std::wstring::npos) SetLocked(item.path, true);
  }
}

std::wstring FakeEnv::Tree() const {
  // What is left to write, last first: text, or the node of a key.
  std::vector<std::pair<std::wstring, const std::wstring*>> todo;
  for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it) {
    if (nodes_.contains(Parent(it->first))) continue;
    if (!todo.empty()) todo.emplace_back(L", ", nullptr);
    todo.emplace_back(std::wstring(), &it->first);
    // A top entry by its whole path: "C:", "App", "\\App", "\\" of "\\\\srv".
    const std::size_t slash = it->first.rfind(L'\\');
    todo.emplace_back(slash == std::wstring::npos ? L"" : it->first.substr(0, slash + 1), nullptr);
  }
  std::wstring out;
  while (!todo.empty()) {
    const auto [text, key] = std::move(todo.back());
    todo.pop_back();
    out += text;
    if (key == nullptr) continue;
    const Node& node = nodes_.at(*key);
    out += node.name;
    std::wstring marks;
    for (const auto& [mark, bit] : kMarks) {
      if ((node.attrs & bit) != 0) marks += mark;
    }
    if (node.locked) marks += L'L';
    if (!marks.empty()) out += L':' + marks;
    if ((node.attrs & attr::kDirectory) == 0) continue;
    out += L'\\';
    std::vector<const std::wstring*> children;
    const std::wstring prefix = *key + L'\\';
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);
         ++it) {
      if (it->first.find(L'\\', prefix.size()) == std::wstring::npos)
        children.push_back(&it->first);
    }
    if (children.size() > 1) todo.emplace_back(L"}", nullptr);
    for (std::size_t i = children.size(); i-- > 0;) {
      todo.emplace_back(std::wstring(), children[i]);
      if (i > 0) todo.emplace_back(L", ", nullptr);
    }
    if (children.size() > 1) todo.emplace_back(L"{", nullptr);
  }
  return out;
}

std::wstring FakeEnv::Calls() const {
  static constexpr std::pair<std::wstring_view, std::wstring_view> kShort[] = {
      {L"RemoveFile ", L"del "}, {L"RemoveDir ", L"rd "}, {L"ListFiles ", L"dir "}};
  std::wstring out;
  for (const std::wstring& event : events_) {
    if (!out.empty()) out += L"; ";
    std::wstring_view rest = event;
    for (const auto& [call, name] : kShort) {
      if (rest.starts_with(call)) {
        out += name;
        rest.remove_prefix(call.size());
      }
    }
    out += rest;
  }
  return out;
}

void FakeEnv::AddAlias(std::wstring_view alias, std::wstring_view target) {
  aliases_[Key(alias)] = Resolve(target, true);
}

void FakeEnv::AddLink(std::wstring_view path, std::wstring_view target) {
  AddDir(path, attr::kDirectory | attr::kReparsePoint);
  links_[Resolve(path, false)] = Resolve(target, true);
}

void FakeEnv::SetAttrs(std::wstring_view path, std::uint32_t attrs) {
  auto it = nodes_.find(Resolve(path, false));
  if (it != nodes_.end()) {
    const std::uint32_t dir_bit = it->second.attrs & attr::kDirectory;
    it->second.attrs = (attrs & ~attr::kDirectory) | dir_bit;
  }
}

void FakeEnv::SetLocked(std::wstring_view path, bool locked) {
  auto it = nodes_.find(Resolve(path, false));
  if (it != nodes_.end()) it->second.locked = locked;
}

void FakeEnv::AddRegKey(std::int32_t root, std::wstring_view key_path) {
  for (std::wstring key = RegKeyName(key_path); !key.empty(); key = RegParent(key)) {
    reg_keys_.insert({root, key});
  }
}

void FakeEnv::SetSpecialFolder(std::int32_t folder_id, std::wstring_view path) {
  ShellFolderQuery query;
  query.location_result = 0;
  query.path_ok = true;
  query.buffer = Buffer(path);
  special_folders_[folder_id] = std::move(query);
}

void FakeEnv::SetSpecialFolderQuery(std::int32_t folder_id, ShellFolderQuery query) {
  special_folders_[folder_id] = std::move(query);
}

void FakeEnv::QueueAnswers(std::vector<Result<int>> answers) {
  answers_ = std::move(answers);
  next_answer_ = 0;
}

void FakeEnv::InjectFault(FakeOp op, std::wstring_view path, ErrorCode code, int times) {
  faults_[{op, path == L"*" ? std::wstring(L"*") : Key(path)}] = Fault{code, times};
}

std::optional<ErrorCode> FakeEnv::TakeFault(FakeOp op, std::wstring_view path) {
  if (faults_.empty()) return std::nullopt;
  for (const std::wstring& key : {Key(path), std::wstring(L"*")}) {
    auto it = faults_.find({op, key});
    if (it == faults_.end() || it->second.times == 0) continue;
    if (it->second.times > 0) --it->second.times;
    return it->second.code;
  }
  return std::nullopt;
}

bool FakeEnv::Exists(std::wstring_view path) const { return nodes_.contains(Resolve(path, false)); }

bool FakeEnv::RegKeyExists(std::int32_t root, std::wstring_view key_path) const {
  return reg_keys_.contains({root, RegKeyName(key_path)});
}

Result<std::uint32_t> FakeEnv::GetFileAttrs(std::wstring_view path) {
  ++attribute_reads_;
  if (auto fault = TakeFault(FakeOp::kGetFileAttrs, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorPathNotFound);
  if (path.find_first_of(L"*?") != std::wstring_view::npos) return Status(kErrorInvalidName);
  const std::wstring key = Resolve(path, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(MissingCode(key));
  // "file.txt\" names no directory entry.
  if (path.back() == L'\\' && (it->second.attrs & attr::kDirectory) == 0) {
    return Status(kErrorInvalidName);
  }
  return it->second.attrs;
}

Status FakeEnv::RemoveFile(std::wstring_view path) {
  Record(L"RemoveFile " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kRemoveFile, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorFileNotFound);
  const std::wstring key = Resolve(path, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(MissingCode(key));
  if ((it->second.attrs & attr::kDirectory) != 0) return Status(kErrorAccessDenied);
  // "file.txt\" names a folder, which a file is not.
  if (path.back() == L'\\') return Status(kErrorInvalidName);
  if ((it->second.attrs & attr::kReadOnly) != 0) return Status(kErrorAccessDenied);
  if (it->second.locked) return Status(kErrorSharingViolation);
  // A running executable cannot be deleted.
  if (it->first == RunningImage()) return Status(kErrorAccessDenied);
  nodes_.erase(it);
  return Status::Ok();
}

std::wstring FakeEnv::RunningImage() const {
  return moved_image_ ? *moved_image_ : Resolve(executable_path_, true);
}

std::wstring FakeEnv::CurrentDir() const {
  return current_dir_ ? *current_dir_ : Parent(Resolve(executable_path_, true));
}

Status FakeEnv::RenameFile(std::wstring_view from, std::wstring_view to) {
  Record(L"RenameFile " + std::wstring(from) + L" -> " + std::wstring(to));
  if (auto fault = TakeFault(FakeOp::kRenameFile, from)) return Status(*fault);
  const std::wstring source = Resolve(from, false);
  const std::wstring target = Resolve(to, false);
  auto it = nodes_.find(source);
  if (it == nodes_.end()) return Status(kErrorFileNotFound);
  if ((it->second.attrs & attr::kDirectory) != 0) return Status(kErrorAccessDenied);
  if (!nodes_.contains(Parent(target))) return Status(kErrorPathNotFound);
  // A rename never leaves its volume: the drive or share comes first.
  if (source.substr(0, source.find(L'\\')) != target.substr(0, target.find(L'\\'))) {
    return Status(kErrorNotSameDevice);
  }
  auto existing = nodes_.find(target);
  if (existing != nodes_.end()) {
    if ((existing->second.attrs & (attr::kDirectory | attr::kReadOnly)) != 0 ||
        existing->second.locked || existing->first == RunningImage()) {
      return Status(kErrorAccessDenied);
    }
  }
  const bool running = source == RunningImage();
  Node node = std::move(it->second);
  nodes_.erase(it);
  node.name = LastName(to);
  nodes_[target] = std::move(node);
  if (running) moved_image_ = target;
  return Status::Ok();
}

Status FakeEnv::DeleteAtRestart(std::wstring_view path) {
  Record(L"DeleteAtRestart " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kDeleteAtRestart, path)) return Status(*fault);
  pending_deletes_.emplace_back(path);
  return Status::Ok();
}

Result<std::wstring> FakeEnv::CreateTempFile() {
  if (auto fault = TakeFault(FakeOp::kCreateTempFile, temp_dir_)) return Status(*fault);
  const auto dir = nodes_.find(Resolve(temp_dir_, true));
  if (dir == nodes_.end() || (dir->second.attrs & attr::kDirectory) == 0) {
    return Status(kErrorPathNotFound);
  }
  const std::wstring path = temp_dir_ + L"\\uni" + std::to_wstring(++temp_files_) + L".tmp";
  if (Exists(path)) return Status(kErrorAlreadyExists);
  AddFile(path);
  Record(L"CreateTempFile " + path);
  return path;
}

Status FakeEnv::SetCurrentDir(std::wstring_view dir) {
  Record(L"SetCurrentDir " + std::wstring(dir));
  const std::wstring key = Resolve(dir, true);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(MissingCode(key));
  if ((it->second.attrs & attr::kDirectory) == 0) return Status(kErrorDirectory);
  current_dir_ = key;
  return Status::Ok();
}

Status FakeEnv::RemoveDir(std::wstring_view path) {
  Record(L"RemoveDir " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kRemoveDir, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorInvalidName);
  const std::wstring key = Resolve(path, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(MissingCode(key));
  if ((it->second.attrs & attr::kDirectory) == 0) return Status(kErrorDirectory);
  // A folder that is the current directory is in use.
  if (key == CurrentDir()) return Status(kErrorSharingViolation);
  // A junction goes itself, whatever its target holds.
  if (links_.erase(key) > 0) {
    nodes_.erase(it);
    return Status::Ok();
  }
  if (HasChildren(key) || key.size() <= 2) return Status(kErrorDirNotEmpty);
  nodes_.erase(it);
  return Status::Ok();
}

Result<std::vector<std::wstring>> FakeEnv::ListFiles(std::wstring_view dir) {
  Record(L"ListFiles " + std::wstring(dir));
  if (auto fault = TakeFault(FakeOp::kListFiles, dir)) return Status(*fault);
  const std::wstring key = Resolve(dir, true);
  auto it = nodes_.find(key);
  if (dir.empty() || it == nodes_.end()) return Status(kErrorPathNotFound);
  // The search opens "dir\*": a file is no folder to search.
  if ((it->second.attrs & attr::kDirectory) == 0) return Status(kErrorDirectory);
  std::vector<std::wstring> names;
  const std::wstring prefix = key + L'\\';
  for (auto child = nodes_.lower_bound(prefix);
       child != nodes_.end() && child->first.compare(0, prefix.size(), prefix) == 0; ++child) {
    const bool direct = child->first.find(L'\\', prefix.size()) == std::wstring::npos;
    if (direct && (child->second.attrs & attr::kDirectory) == 0)
      names.push_back(child->second.name);
  }
  return names;
}

Result<std::string> FakeEnv::ReadWholeFile(std::wstring_view path) {
  if (auto fault = TakeFault(FakeOp::kReadWholeFile, path)) return Status(*fault);
  auto it = nodes_.find(Resolve(path, true));
  if (it == nodes_.end()) return Status(kErrorFileNotFound);
  if ((it->second.attrs & attr::kDirectory) != 0) return Status(kErrorAccessDenied);
  if (it->second.locked) return Status(kErrorSharingViolation);
  return it->second.content;
}

Status FakeEnv::WriteWholeFile(std::wstring_view path, std::string_view bytes) {
  Record(L"WriteWholeFile " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kWriteWholeFile, path)) return Status(*fault);
  const std::wstring key = Resolve(path, true);
  auto it = nodes_.find(key);
  if (it != nodes_.end()) {
    // The file is made anew with the normal attribute, which a hidden or
    // system file refuses.
    if ((it->second.attrs & (attr::kDirectory | attr::kReadOnly | attr::kHidden | attr::kSystem)) !=
        0) {
      return Status(kErrorAccessDenied);
    }
    if (it->second.locked) return Status(kErrorSharingViolation);
    it->second.content = std::string(bytes);
    return Status::Ok();
  }
  if (!nodes_.contains(Parent(key))) return Status(kErrorPathNotFound);
  AddFile(key, std::string(bytes));
  return Status::Ok();
}

Result<std::wstring> FakeEnv::ExecutablePath() { return executable_path_; }

Result<FileIdentity> FakeEnv::GetFileIdentity(std::wstring_view path) {
  ++identity_reads_;
  if (auto fault = TakeFault(FakeOp::kGetFileIdentity, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorPathNotFound);
  const std::wstring key = Resolve(path, true);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(MissingCode(key));
  // One volume per drive or share: what comes before the first "\" of the
  // resolved key ("C:", "" for "\\srv\share").
  FileIdentity identity;
  identity.id.volume =
      static_cast<std::uint32_t>(std::hash<std::wstring>{}(key.substr(0, key.find(L'\\'))));
  identity.id.file = it->second.id;
  // The resolved key is the object's own path, each component named as it
  // was created; a drive root gets its "\".
  const std::wstring own = OwnPath(key);
  if (own.starts_with(L"\\\\")) {
    identity.final_path = L"\\\\?\\UNC\\" + own.substr(2);
  } else {
    identity.final_path = L"\\\\?\\" + own + (own.size() == 2 && own[1] == L':' ? L"\\" : L"");
  }
  return identity;
}

std::wstring FakeEnv::OwnPath(const std::wstring& key) const {
  std::wstring own;
  std::size_t start = 0;
  while (start < key.size()) {
    std::size_t end = key.find(L'\\', start + 1);
    if (end == std::wstring::npos) end = key.size();
    auto node = nodes_.find(key.substr(0, end));
    // The drive or share keeps its key; a component without a node of its
    // own (the middle of a share's name) too.
    const bool named = start > 0 && node != nodes_.end() && !node->second.name.empty();
    own += named ? L"\\" + node->second.name : key.substr(start, end - start);
    start = end;
  }
  return own;
}

Result<std::wstring> FakeEnv::GetFinalPath(std::wstring_view path) {
  Result<FileIdentity> identity = GetFileIdentity(path);
  --identity_reads_;
  if (!identity.ok()) return Status(identity.code());
  return std::move(identity.value().final_path);
}

Status FakeEnv::DeleteRegKey(std::int32_t root, std::wstring_view key_path) {
  Record(L"DeleteRegKey " + Hex(root) + L" " + std::wstring(key_path));
  if (auto fault = TakeFault(FakeOp::kDeleteRegKey, key_path)) return Status(*fault);
  const auto uroot = static_cast<std::uint32_t>(root);
  if (uroot < 0x80000000u || uroot > 0x80000006u) return Status(kErrorInvalidHandle);
  if (!key_path.empty() && key_path.front() == L'\\') return Status(kErrorBadPathName);
  const std::wstring key = RegKeyName(key_path);
  if (key.empty()) return Status(kErrorAccessDenied);
  if (!reg_keys_.contains({root, key})) return Status(kErrorFileNotFound);
  auto next = reg_keys_.upper_bound({root, key});
  if (next != reg_keys_.end() && next->first == root &&
      next->second.compare(0, key.size() + 1, key + L'\\') == 0) {
    return Status(kErrorAccessDenied);
  }
  reg_keys_.erase({root, key});
  return Status::Ok();
}

ShellFolderQuery FakeEnv::QuerySpecialFolder(std::int32_t folder_id) {
  ++special_folder_queries_;
  auto it = special_folders_.find(folder_id);
  if (it != special_folders_.end()) return it->second;
  ShellFolderQuery failed;
  failed.location_result = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
  failed.buffer = Buffer(L"");
  return failed;
}

Result<int> FakeEnv::ShowMessage(std::wstring_view text, std::optional<std::wstring_view> title,
                                 int style) {
  MessageCall call{std::wstring(text), title ? std::optional<std::wstring>(*title) : std::nullopt,
                   style};
  Record(L"ShowMessage " + std::to_wstring(style) + L" " + call.text);
  messages_.push_back(call);
  if (on_message_) on_message_(call);
  if (auto fault = TakeFault(FakeOp::kShowMessage, L"*")) return Status(*fault);
  if (next_answer_ < answers_.size()) return answers_[next_answer_++];
  // An unscripted box is answered with its first button.
  switch (style) {
    case msgbox::kYesNoQuestion:
      return msgbox::kYes;
    case msgbox::kRetryCancelExclamation:
      return msgbox::kCancel;  // never loop on an unscripted Retry
    default:
      return msgbox::kOk;
  }
}

void FakeEnv::SetWindowShown(bool shown) { Record(shown ? L"Window shown" : L"Window hidden"); }

void FakeEnv::ShowProgress(std::uint64_t done, std::uint64_t total) {
  progress_.emplace_back(done, total);
}

void FakeEnv::SleepMs(std::uint32_t milliseconds) {
  clock_ms_ += milliseconds;
  Record(L"Sleep " + std::to_wstring(milliseconds));
}

}  // namespace uninstall
