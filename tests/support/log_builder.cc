#include "tests/support/log_builder.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace uninstall::log_builder {

std::string Header() { return std::string(kInstallFileMagic) + std::string(kInstallFileLineEnd); }

std::string Kind(RecordKind kind) { return std::string(1, static_cast<char>(kind)); }

std::string Int(std::int32_t value) { return EncodeLong(value); }

std::string Str(std::string_view text) {
  return BadStr(static_cast<std::int32_t>(text.size()), text);
}

std::string BadStr(std::int32_t length, std::string_view text) {
  return Int(length) + std::string(text);
}

std::vector<std::string> Fields(RecordKind kind, const std::vector<Value>& values) {
  std::vector<std::string> fields;
  VisitRecordLayout(kind, [&](const auto& layout) {
    if (values.size() != layout.fields.size()) {
      throw std::logic_error(std::string{layout.name} + ": not one value for each field");
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      const auto* text = std::get_if<std::string>(&values[i]);
      if ((text != nullptr) != (layout.fields[i].type() == FieldType::kString)) {
        throw std::logic_error(std::string{layout.name} + "." + std::string{layout.fields[i].name} +
                               ": a value of the wrong type");
      }
      fields.push_back(text ? Str(*text) : Int(std::get<std::int32_t>(values[i])));
    }
  });
  return fields;
}

std::string Record(RecordKind kind, const std::vector<Value>& values) {
  std::string record = Kind(kind);
  for (const std::string& field : Fields(kind, values)) record += field;
  return record;
}

std::string CutRecord(RecordKind kind, const std::vector<Value>& values, std::size_t field,
                      std::size_t kept) {
  const std::vector<std::string> fields = Fields(kind, values);
  std::string record = Kind(kind);
  for (std::size_t i = 0; i < field && i < fields.size(); ++i) record += fields[i];
  if (field < fields.size()) record += fields[field].substr(0, kept);
  return record;
}

std::string AppRec(std::string_view app_path, std::string_view app_name, std::string_view main_path,
                   std::string_view group_name) {
  return Record(kRecordAppInfo, {std::string(app_path), std::string(app_name),
                                 std::string(main_path), std::string(group_name)});
}

std::string FileRec(std::string_view source, std::string_view target, std::int32_t keep) {
  return Record(kRecordFileEntry, {std::string(source), std::string(target), keep});
}

std::string KeyRec(std::int32_t root, std::string_view sub_key, std::string_view extra1,
                   std::string_view extra2) {
  return Record(kRecordRegKeyEntry,
                {root, std::string(sub_key), std::string(extra1), std::string(extra2)});
}

std::string LinkRec(std::string_view folder, std::string_view name, std::string_view path) {
  return Record(kRecordLinkEntry, {std::string(folder), std::string(name), std::string(path)});
}

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

std::string Show(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) {
    char code[16];
    static_cast<void>(std::snprintf(code, sizeof code, c >= L' ' && c < 0x7F ? "%c" : "{%X}",
                                    static_cast<unsigned>(c)));
    out += code;
  }
  return out;
}

namespace {

template <typename Entry>
void ShowList(std::string& out, const char* name, const RecordLayout<Entry>& layout,
              std::int16_t count, const std::vector<Entry>& list) {
  if (count == 0 && list.empty()) return;
  out += std::string(out.empty() ? "" : "; ") + name;
  if (static_cast<std::size_t>(count) != list.size()) out += "(" + std::to_string(count) + ")";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char* separator = i == 0 ? ": " : ", ";
    for (const FieldLayout<Entry>& field : layout.fields) {
      const RegistryRoot* root = field.integer ? FindRegistryRoot(list[i].*field.integer) : nullptr;
      out += std::exchange(separator, "|");
      out += field.text ? Show(list[i].*field.text)
             : root     ? std::string(root->abbreviation)
                    : std::to_string(field.integer ? list[i].*field.integer : list[i].*field.flag);
    }
  }
}

}  // namespace

std::string Show(const InstallLog& log) {
  std::string out;
  ShowList(out, "app", kAppInfoLayout, 1, std::vector<AppInfo>{log.AppInfo});
  ShowList(out, "files", kFileEntryLayout, log.FileCount, log.Files);
  ShowList(out, "keys", kRegKeyEntryLayout, log.RegKeyCount, log.RegKeys);
  ShowList(out, "links", kLinkEntryLayout, log.LinkCount, log.Links);
  return out;
}

}  // namespace uninstall::log_builder
