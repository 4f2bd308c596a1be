#include "tools/manifest.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <span>
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

// The lists of a manifest, beside its AppInfo.
constexpr std::array<std::string_view, 4> kManifestLists = {"AppInfo", "Files", "RegKeys", "Links"};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ManifestError(where + ": " + what);
}

// The members of `object`, checked: all of `names` present, no other.
const Json& Object(const Json& value, const std::string& where,
                   std::span<const std::string_view> names) {
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

std::int32_t Root(const Json& object, const std::string& where, std::string_view name) {
  const std::string field = Field(where, name);
  const Json& value = object.at(name);
  if (value.is_string()) {
    if (const auto root = RootKeyByName(value.get_ref<const std::string&>())) return *root;
    Fail(field, "unknown root key name " + value.dump() + " (expected one of " +
                    RootKeyNameList(false) + ", or a 32-bit integer)");
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

// The record of `layout` that `value` describes: an object with each of the
// layout's fields and no other. The fields that are no text are checked
// before the texts.
template <typename Record>
Record ReadRecord(const RecordLayout<Record>& layout, const Json& value, const std::string& where) {
  std::vector<std::string_view> names;
  for (const FieldLayout<Record>& field : layout.fields) names.push_back(field.name);
  const Json& object = Object(value, where, names);
  Record record;
  for (const FieldLayout<Record>& field : layout.fields) {
    if (field.integer != nullptr) {
      record.*field.integer = Root(object, where, field.name);
    } else if (field.flag != nullptr) {
      const Json& flag = object.at(field.name);
      if (!flag.is_boolean()) {
        Fail(Field(where, field.name), "expected true or false, found " + TypeName(flag));
      }
      record.*field.flag = flag.get<bool>() ? kTrue : kFalse;
    }
  }
  for (const FieldLayout<Record>& field : layout.fields) {
    if (field.text != nullptr) record.*field.text = Text(object, where, field.name);
  }
  return record;
}

// The entries of list `name`, each a record of `layout`.
template <typename Entry>
std::vector<Entry> List(const Json& manifest, std::string_view name,
                        const RecordLayout<Entry>& layout) {
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
    entries.push_back(
        ReadRecord(layout, list[i], std::string(name) + "[" + std::to_string(i) + "]"));
  }
  return entries;
}

template <typename Entry>
std::int16_t Count(const std::vector<Entry>& list) {
  return static_cast<std::int16_t>(list.size());  // at most kMaxEntries, checked in List()
}

Json Utf8(const std::wstring& text) { return ToUtf8(text); }

// The object of `record`: each field of `layout` under its name, the texts
// in UTF-8, the registry root by its name where it has one (else as a signed
// integer), the flag as true for any non-zero value.
template <typename Record>
Json RecordJson(const RecordLayout<Record>& layout, const Record& record) {
  Json object = Json::object();
  for (const FieldLayout<Record>& field : layout.fields) {
    const std::string name(field.name);
    if (field.text != nullptr) {
      object[name] = Utf8(record.*field.text);
    } else if (field.integer != nullptr) {
      const std::int32_t root = record.*field.integer;
      if (const auto root_name = NameOfRootKey(root)) {
        object[name] = std::string{*root_name};
      } else {
        object[name] = root;
      }
    } else {
      object[name] = record.*field.flag != kFalse;
    }
  }
  return object;
}

}  // namespace

std::string RootKeyNameList(bool abbreviations) {
  std::string list;
  for (const RegistryRoot& root : kRegistryRoots) {
    if (!list.empty()) list += ", ";
    list += abbreviations ? root.abbreviation : root.name;
  }
  return list;
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
  if (extras.contains("RegKeys")) read.RegKeys = List(extras, "RegKeys", kRegKeyEntryLayout);
  if (extras.contains("Links")) read.Links = List(extras, "Links", kLinkEntryLayout);
  return read;
}

InstallLog LogFromManifest(const Json& manifest) {
  Object(manifest, "manifest", kManifestLists);
  InstallLog log;
  log.AppInfo = ReadRecord(kAppInfoLayout, manifest.at("AppInfo"), "AppInfo");
  log.Files = List(manifest, "Files", kFileEntryLayout);
  log.RegKeys = List(manifest, "RegKeys", kRegKeyEntryLayout);
  log.Links = List(manifest, "Links", kLinkEntryLayout);

  log.FileCount = Count(log.Files);
  log.RegKeyCount = Count(log.RegKeys);
  log.LinkCount = Count(log.Links);
  return log;
}

Json ManifestFromLog(const InstallLog& log) {
  Json files = Json::array();
  for (const FileEntry& entry : EntriesInUse(log.FileCount, log.Files)) {
    files.push_back(RecordJson(kFileEntryLayout, entry));
  }
  Json keys = Json::array();
  for (const RegKeyEntry& entry : EntriesInUse(log.RegKeyCount, log.RegKeys)) {
    keys.push_back(RecordJson(kRegKeyEntryLayout, entry));
  }
  Json links = Json::array();
  for (const LinkEntry& entry : EntriesInUse(log.LinkCount, log.Links)) {
    links.push_back(RecordJson(kLinkEntryLayout, entry));
  }

  Json manifest = Json::object();
  manifest["AppInfo"] = RecordJson(kAppInfoLayout, log.AppInfo);
  manifest["Files"] = std::move(files);
  manifest["RegKeys"] = std::move(keys);
  manifest["Links"] = std::move(links);
  return manifest;
}

}  // namespace uninstall::tools
