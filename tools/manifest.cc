#include "tools/manifest.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

std::string TypeName(const Json& value) {
  if (value.is_number()) return "a number";
  if (value.is_boolean()) return "true or false";
  if (value.is_null()) return "null";
  if (value.is_array()) return "an array";
  if (value.is_object()) return "an object";
  return "a string";
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ManifestError(where + ": " + what);
}

// The members of `object`, checked: all of `names` present, no other.
const Json& Object(const Json& value, const std::string& where,
                   std::initializer_list<std::string_view> names) {
  if (!value.is_object()) Fail(where, "expected an object, found " + TypeName(value));
  for (const std::string_view name : names) {
    if (!value.contains(name)) Fail(where, "missing field \"" + std::string(name) + "\"");
  }
  for (const auto& [key, member] : value.items()) {
    if (std::find(names.begin(), names.end(), key) == names.end()) {
      Fail(where, "unknown field \"" + key + "\"");
    }
  }
  return value;
}

std::string Field(const std::string& where, std::string_view name) {
  return where.empty() ? std::string(name) : where + "." + std::string(name);
}

std::wstring Text(const Json& object, const std::string& where, std::string_view name) {
  const std::string field = Field(where, name);
  const Json& value = object.at(name);
  if (!value.is_string()) Fail(field, "expected a string, found " + TypeName(value));
  std::wstring text = FromUtf8(value.get_ref<const std::string&>());
  if (!FitsCodePage(text)) {
    Fail(field, "the text " + value.dump() + " has characters that " + std::string(kCodePageName) +
                    " cannot hold");
  }
  return text;
}

std::int32_t Root(const Json& object, const std::string& where) {
  const std::string field = Field(where, "RootKey");
  const Json& value = object.at("RootKey");
  if (value.is_string()) {
    const std::string& name = value.get_ref<const std::string&>();
    if (const auto root = RootKeyByName(name)) return *root;
    std::string known;
    for (const RootKeyName& root : kRootKeyNames) {
      known += (known.empty() ? "" : ", ") + std::string(root.name);
    }
    Fail(field, "unknown root key name " + value.dump() + " (expected one of " + known +
                    ", or a 32-bit integer)");
  }
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number <= std::numeric_limits<std::uint32_t>::max()) {
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    }
  } else if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    if (number >= std::numeric_limits<std::int32_t>::min()) {
      return static_cast<std::int32_t>(number);
    }
  } else {
    Fail(field, "expected a root key name or an integer, found " + TypeName(value));
  }
  Fail(field, "the integer " + value.dump() + " does not fit in 32 bits");
}

// The entries of list `name`, each read by `read`.
template <typename Entry, typename Read>
std::vector<Entry> List(const Json& manifest, std::string_view name, Read read) {
  const Json& list = manifest.at(name);
  if (!list.is_array()) Fail(std::string(name), "expected an array, found " + TypeName(list));
  if (list.size() > static_cast<std::size_t>(kMaxEntries)) {
    Fail(std::string(name), "has " + std::to_string(list.size()) +
                                " entries; a log holds at most " + std::to_string(kMaxEntries) +
                                " of one kind");
  }
  std::vector<Entry> entries;
  entries.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    entries.push_back(read(list[i], std::string(name) + "[" + std::to_string(i) + "]"));
  }
  return entries;
}

FileEntry ReadFile(const Json& value, const std::string& where) {
  const Json& entry = Object(value, where, {"SourcePath", "TargetPath", "KeepFile"});
  const Json& keep = entry.at("KeepFile");
  if (!keep.is_boolean()) {
    Fail(where + ".KeepFile", "expected true or false, found " + TypeName(keep));
  }
  return FileEntry{Text(entry, where, "SourcePath"), Text(entry, where, "TargetPath"),
                   keep.get<bool>() ? kTrue : kFalse};
}

RegKeyEntry ReadRegKey(const Json& value, const std::string& where) {
  const Json& entry = Object(value, where, {"RootKey", "SubKey", "Extra1", "Extra2"});
  return RegKeyEntry{Root(entry, where), Text(entry, where, "SubKey"), Text(entry, where, "Extra1"),
                     Text(entry, where, "Extra2")};
}

LinkEntry ReadLink(const Json& value, const std::string& where) {
  const Json& entry = Object(value, where, {"FolderName", "LinkName", "LinkPath"});
  return LinkEntry{Text(entry, where, "FolderName"), Text(entry, where, "LinkName"),
                   Text(entry, where, "LinkPath")};
}

template <typename Entry>
std::int16_t Count(const std::vector<Entry>& list) {
  return static_cast<std::int16_t>(list.size());  // at most kMaxEntries, checked in List()
}

Json Utf8(const std::wstring& text) { return ToUtf8(text); }

}  // namespace

std::optional<std::int32_t> RootKeyByName(std::string_view name) {
  for (const RootKeyName& root : kRootKeyNames) {
    if (root.name == name) return root.value;
  }
  return std::nullopt;
}

std::optional<std::string_view> NameOfRootKey(std::int32_t value) {
  for (const RootKeyName& root : kRootKeyNames) {
    if (root.value == value) return root.name;
  }
  return std::nullopt;
}

bool FitsCodePage(std::wstring_view text) { return AnsiToWide(WideToAnsi(text)) == text; }

ManifestExtras ExtrasFromJson(const Json& extras) {
  if (!extras.is_object()) Fail("extras", "expected an object, found " + TypeName(extras));
  for (const auto& [key, member] : extras.items()) {
    if (key != "RegKeys" && key != "Links") {
      Fail("extras", "unknown field \"" + key + "\" (expected \"RegKeys\" or \"Links\")");
    }
  }
  ManifestExtras read;
  if (extras.contains("RegKeys")) read.RegKeys = List<RegKeyEntry>(extras, "RegKeys", ReadRegKey);
  if (extras.contains("Links")) read.Links = List<LinkEntry>(extras, "Links", ReadLink);
  return read;
}

InstallLog LogFromManifest(const Json& manifest) {
  Object(manifest, "manifest", {"AppInfo", "Files", "RegKeys", "Links"});
  InstallLog log;

  const Json& app =
      Object(manifest.at("AppInfo"), "AppInfo", {"AppPath", "AppName", "MainPath", "GroupName"});
  log.AppInfo.AppPath = Text(app, "AppInfo", "AppPath");
  log.AppInfo.AppName = Text(app, "AppInfo", "AppName");
  log.AppInfo.MainPath = Text(app, "AppInfo", "MainPath");
  log.AppInfo.GroupName = Text(app, "AppInfo", "GroupName");

  log.Files = List<FileEntry>(manifest, "Files", ReadFile);
  log.RegKeys = List<RegKeyEntry>(manifest, "RegKeys", ReadRegKey);
  log.Links = List<LinkEntry>(manifest, "Links", ReadLink);

  log.FileCount = Count(log.Files);
  log.RegKeyCount = Count(log.RegKeys);
  log.LinkCount = Count(log.Links);
  return log;
}

Json ManifestFromLog(const InstallLog& log) {
  Json files = Json::array();
  for (const FileEntry& entry : EntriesInUse(log.FileCount, log.Files)) {
    files.push_back({{"SourcePath", Utf8(entry.SourcePath)},
                     {"TargetPath", Utf8(entry.TargetPath)},
                     {"KeepFile", entry.KeepFile != kFalse}});
  }
  Json keys = Json::array();
  for (const RegKeyEntry& entry : EntriesInUse(log.RegKeyCount, log.RegKeys)) {
    const auto name = NameOfRootKey(entry.RootKey);
    keys.push_back({{"RootKey", name ? Json(std::string(*name)) : Json(entry.RootKey)},
                    {"SubKey", Utf8(entry.SubKey)},
                    {"Extra1", Utf8(entry.Extra1)},
                    {"Extra2", Utf8(entry.Extra2)}});
  }
  Json links = Json::array();
  for (const LinkEntry& entry : EntriesInUse(log.LinkCount, log.Links)) {
    links.push_back({{"FolderName", Utf8(entry.FolderName)},
                     {"LinkName", Utf8(entry.LinkName)},
                     {"LinkPath", Utf8(entry.LinkPath)}});
  }

  Json manifest = Json::object();
  manifest["AppInfo"] = {{"AppPath", Utf8(log.AppInfo.AppPath)},
                         {"AppName", Utf8(log.AppInfo.AppName)},
                         {"MainPath", Utf8(log.AppInfo.MainPath)},
                         {"GroupName", Utf8(log.AppInfo.GroupName)}};
  manifest["Files"] = std::move(files);
  manifest["RegKeys"] = std::move(keys);
  manifest["Links"] = std::move(links);
  return manifest;
}

}  // namespace uninstall::tools
