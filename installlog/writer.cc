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

}  // namespace

std::string SerializeInstallFile(const AppInfo& appInfo, std::int16_t fileCount,
                                 const std::vector<FileEntry>& files, std::int16_t regKeyCount,
                                 const std::vector<RegKeyEntry>& regKeys, std::int16_t linkCount,
                                 const std::vector<LinkEntry>& links) {
  std::string out;
  out += kInstallFileMagic;
  out += kInstallFileLineEnd;

  PutKind(out, kRecordAppInfo);
  PutString(out, appInfo.AppPath);
  PutString(out, appInfo.AppName);
  PutString(out, appInfo.MainPath);
  PutString(out, appInfo.GroupName);

  for (const FileEntry& entry : EntriesInUse(fileCount, files)) {
    PutKind(out, kRecordFileEntry);
    PutString(out, entry.SourcePath);
    PutString(out, entry.TargetPath);
    PutInteger(out, static_cast<std::int32_t>(entry.KeepFile));  // widened with its sign
  }
  for (const RegKeyEntry& entry : EntriesInUse(regKeyCount, regKeys)) {
    PutKind(out, kRecordRegKeyEntry);
    PutInteger(out, entry.RootKey);
    PutString(out, entry.SubKey);
    PutString(out, entry.Extra1);
    PutString(out, entry.Extra2);
  }
  for (const LinkEntry& entry : EntriesInUse(linkCount, links)) {
    PutKind(out, kRecordLinkEntry);
    PutString(out, entry.FolderName);
    PutString(out, entry.LinkName);
    PutString(out, entry.LinkPath);
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
