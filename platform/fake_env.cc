#include "platform/fake_env.h"

#include <algorithm>
#include <cwctype>

namespace uninstall {
namespace {

std::wstring Upper(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& ch : out) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
  return out;
}

std::wstring Hex(std::int32_t value) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out = L"0x00000000";
  auto bits = static_cast<std::uint32_t>(value);
  for (int i = 9; i >= 2; --i, bits >>= 4) out[static_cast<std::size_t>(i)] = kDigits[bits & 0xF];
  return out;
}

constexpr ErrorCode kErrorInvalidHandle = 6;

}  // namespace

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
  std::wstring key = Upper(path);
  while (key.size() > 1 && key.back() == L'\\') key.pop_back();
  return key;
}

std::wstring FakeEnv::Parent(const std::wstring& key) {
  const std::size_t slash = key.rfind(L'\\');
  if (slash == std::wstring::npos) return {};
  return key.substr(0, slash);
}

bool FakeEnv::HasChildren(const std::wstring& key) const {
  const std::wstring prefix = key + L'\\';
  auto it = nodes_.lower_bound(prefix);
  return it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void FakeEnv::AddDir(std::wstring_view path, std::uint32_t attrs) {
  const std::wstring key = Key(path);
  if (key.empty()) return;
  const auto put = [this](const std::wstring& dir_key, std::wstring_view dir_path,
                          std::uint32_t dir_attrs) {
    std::wstring name(dir_path);
    while (name.size() > 1 && name.back() == L'\\') name.pop_back();
    const std::size_t slash = name.rfind(L'\\');
    Node node;
    node.name = slash == std::wstring::npos ? name : name.substr(slash + 1);
    node.attrs = dir_attrs | attr::kDirectory;
    nodes_[dir_key] = std::move(node);
  };
  // Missing parents first, outermost first, each named as its key.
  std::vector<std::wstring> missing;
  for (std::wstring parent = Parent(key); !parent.empty() && !nodes_.contains(parent);
       parent = Parent(parent)) {
    missing.push_back(parent);
  }
  std::reverse(missing.begin(), missing.end());
  for (const std::wstring& dir : missing) put(dir, dir, attr::kDirectory);
  put(key, path, attrs);
}

void FakeEnv::AddFile(std::wstring_view path, std::string content, std::uint32_t attrs) {
  const std::wstring key = Key(path);
  const std::wstring parent = Parent(key);
  if (!parent.empty() && !nodes_.contains(parent))
    AddDir(std::wstring_view(path).substr(0, parent.size()));
  const std::size_t slash = path.rfind(L'\\');
  Node node;
  node.name = std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
  node.attrs = attrs & ~attr::kDirectory;
  node.content = std::move(content);
  nodes_[key] = std::move(node);
}

void FakeEnv::SetAttrs(std::wstring_view path, std::uint32_t attrs) {
  auto it = nodes_.find(Key(path));
  if (it != nodes_.end()) {
    const std::uint32_t dir_bit = it->second.attrs & attr::kDirectory;
    it->second.attrs = (attrs & ~attr::kDirectory) | dir_bit;
  }
}

void FakeEnv::SetLocked(std::wstring_view path, bool locked) {
  auto it = nodes_.find(Key(path));
  if (it != nodes_.end()) it->second.locked = locked;
}

void FakeEnv::AddRegKey(std::int32_t root, std::wstring_view key_path) {
  std::wstring key = Key(key_path);
  while (!key.empty()) {
    reg_keys_.insert({root, key});
    key = Parent(key);
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
  for (const std::wstring& key : {Key(path), std::wstring(L"*")}) {
    auto it = faults_.find({op, key});
    if (it == faults_.end() || it->second.times == 0) continue;
    if (it->second.times > 0) --it->second.times;
    return it->second.code;
  }
  return std::nullopt;
}

bool FakeEnv::Exists(std::wstring_view path) const { return nodes_.contains(Key(path)); }

bool FakeEnv::RegKeyExists(std::int32_t root, std::wstring_view key_path) const {
  return reg_keys_.contains({root, Key(key_path)});
}

Result<std::uint32_t> FakeEnv::GetFileAttrs(std::wstring_view path) {
  if (auto fault = TakeFault(FakeOp::kGetFileAttrs, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorPathNotFound);
  if (path.find_first_of(L"*?") != std::wstring_view::npos) return Status(kErrorInvalidName);
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) return Status(kErrorFileNotFound);
  // "file.txt\" names no directory entry.
  if (path.back() == L'\\' && (it->second.attrs & attr::kDirectory) == 0) {
    return Status(kErrorInvalidName);
  }
  return it->second.attrs;
}

Status FakeEnv::RemoveFile(std::wstring_view path) {
  Record(L"RemoveFile " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kRemoveFile, path)) return Status(*fault);
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || path.empty()) return Status(kErrorFileNotFound);
  if ((it->second.attrs & attr::kDirectory) != 0) return Status(kErrorAccessDenied);
  if ((it->second.attrs & attr::kReadOnly) != 0) return Status(kErrorAccessDenied);
  if (it->second.locked) return Status(kErrorSharingViolation);
  nodes_.erase(it);
  return Status::Ok();
}

Status FakeEnv::RemoveDir(std::wstring_view path) {
  Record(L"RemoveDir " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kRemoveDir, path)) return Status(*fault);
  if (path.empty()) return Status(kErrorInvalidName);
  const std::wstring key = Key(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return Status(kErrorFileNotFound);
  if ((it->second.attrs & attr::kDirectory) == 0) return Status(kErrorDirectory);
  if (HasChildren(key) || key.size() <= 2) return Status(kErrorDirNotEmpty);
  nodes_.erase(it);
  return Status::Ok();
}

Result<std::vector<std::wstring>> FakeEnv::ListFiles(std::wstring_view dir) {
  Record(L"ListFiles " + std::wstring(dir));
  if (auto fault = TakeFault(FakeOp::kListFiles, dir)) return Status(*fault);
  const std::wstring key = Key(dir);
  auto it = nodes_.find(key);
  if (dir.empty() || it == nodes_.end() || (it->second.attrs & attr::kDirectory) == 0) {
    return Status(kErrorPathNotFound);
  }
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
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) return Status(kErrorFileNotFound);
  if ((it->second.attrs & attr::kDirectory) != 0) return Status(kErrorAccessDenied);
  if (it->second.locked) return Status(kErrorSharingViolation);
  return it->second.content;
}

Status FakeEnv::WriteWholeFile(std::wstring_view path, std::string_view bytes) {
  Record(L"WriteWholeFile " + std::wstring(path));
  if (auto fault = TakeFault(FakeOp::kWriteWholeFile, path)) return Status(*fault);
  auto it = nodes_.find(Key(path));
  if (it != nodes_.end()) {
    if ((it->second.attrs & (attr::kDirectory | attr::kReadOnly)) != 0)
      return Status(kErrorAccessDenied);
    if (it->second.locked) return Status(kErrorSharingViolation);
    it->second.content = std::string(bytes);
    return Status::Ok();
  }
  if (!nodes_.contains(Parent(Key(path)))) return Status(kErrorPathNotFound);
  AddFile(path, std::string(bytes));
  return Status::Ok();
}

Result<std::wstring> FakeEnv::ExecutablePath() { return executable_path_; }

Status FakeEnv::DeleteRegKey(std::int32_t root, std::wstring_view key_path) {
  Record(L"DeleteRegKey " + Hex(root) + L" " + std::wstring(key_path));
  if (auto fault = TakeFault(FakeOp::kDeleteRegKey, key_path)) return Status(*fault);
  const auto uroot = static_cast<std::uint32_t>(root);
  if (uroot < 0x80000000u || uroot > 0x80000006u) return Status(kErrorInvalidHandle);
  if (!key_path.empty() && key_path.front() == L'\\') return Status(kErrorBadPathName);
  const std::wstring key = Key(key_path);
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
  if (answer_fallback_) return answer_fallback_(call);
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

void FakeEnv::SetWindowShown(bool shown) {
  window_shown_ = shown;
  Record(shown ? L"Window shown" : L"Window hidden");
}

void FakeEnv::SleepMs(std::uint32_t milliseconds) {
  Record(L"Sleep " + std::to_wstring(milliseconds));
}

}  // namespace uninstall
