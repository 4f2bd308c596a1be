#include "installlog/writer.h"

#include <cstddef>

#include "installlog/format.h"
#include "platform/codepage.h"
#include "platform/fatal_error.h"

namespace uninstall {
namespace {

void PutKind(std::string& out, RecordKind kind) { out.push_back(static_cast<char>(kind)); }

void PutInteger(std::string& out, std::int32_t value) { out += EncodeLong(value); }

// The length is that of the ANSI bytes, not of the wide text: in a code page
// with multi-byte characters a character count would not match the bytes
// that follow, and every later field would be read from the wrong place.
void PutString(std::string& out, std::wstring_view text) {
  const std::string bytes = WideToAnsi(text);
  PutInteger(out, static_cast<std::int32_t>(bytes.size()));
  out += bytes;
}

// The kind byte of `layout` and the fields of `record`, in its order.
template <typename Record>
void PutRecord(std::string& out, const RecordLayout<Record>& layout, const Record& record) {
  PutKind(out, layout.kind);
  for (const FieldLayout<Record>& field : layout.fields) {
    if (field.text != nullptr) {
      PutString(out, record.*field.text);
    } else if (field.integer != nullptr) {
      PutInteger(out, record.*field.integer);
    } else {
      PutInteger(out, static_cast<std::int32_t>(record.*field.flag));  // widened with its sign
    }
  }
}

}  // namespace

std::string SerializeInstallFile(const AppInfo& appInfo, std::int16_t fileCount,
                                 const std::vector<FileEntry>& files, std::int16_t regKeyCount,
                                 const std::vector<RegKeyEntry>& regKeys, std::int16_t linkCount,
                                 const std::vector<LinkEntry>& links) {
  std::string out;
  out += kInstallFileMagic;
  out += kInstallFileLineEnd;

  PutRecord(out, kAppInfoLayout, appInfo);
  for (const FileEntry& entry : EntriesInUse(fileCount, files)) {
    PutRecord(out, kFileEntryLayout, entry);
  }
  for (const RegKeyEntry& entry : EntriesInUse(regKeyCount, regKeys)) {
    PutRecord(out, kRegKeyEntryLayout, entry);
  }
  for (const LinkEntry& entry : EntriesInUse(linkCount, links)) {
    PutRecord(out, kLinkEntryLayout, entry);
  }
  return out;
}

void InstallFile_Write(Env& env, std::wstring_view path, const AppInfo& appInfo,
                       std::int16_t fileCount, const std::vector<FileEntry>& files,
                       std::int16_t regKeyCount, const std::vector<RegKeyEntry>& regKeys,
                       const InstallLog& formLog) {
  if (path.empty()) {
    // The box offers no choice; its answer is not looked at.
    static_cast<void>(env.ShowMessage(
        L"internal error in InstallFile_Write(): file '" + std::wstring(path) + L" not found !",
        std::nullopt, msgbox::kOkExclamation));
    return;
  }
  const std::string bytes = SerializeInstallFile(appInfo, fileCount, files, regKeyCount, regKeys,
                                                 formLog.LinkCount, formLog.Links);
  const Status written = env.WriteWholeFile(path, bytes);
  if (!written.ok()) {
    throw FatalError(L"The install log '" + std::wstring(path) + L"' could not be written (error " +
                         std::to_wstring(written.code()) + L").",
                     written.code());
  }
}

}  // namespace uninstall
