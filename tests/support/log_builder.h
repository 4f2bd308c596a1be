// Install log bytes for tests, built field by field from the record layouts
// of installlog/format.h, and the verbs that break them where a test needs a
// damaged log: a record cut short, a string whose length does not match
// what follows.
//
// Texts are given as their bytes in the ANSI code page. A whole log as the
// writer writes it comes from SerializeInstallFile; these are for the bytes
// it never writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "installlog/format.h"

namespace uninstall::log_builder {

// A field's value: an integer, or a text.
using Value = std::variant<std::int32_t, std::string>;

// The magic and the line end, as the writer starts a log.
[[nodiscard]] std::string Header();
// The kind byte of a record, alone.
[[nodiscard]] std::string Kind(RecordKind kind);
// An integer field.
[[nodiscard]] std::string Int(std::int32_t value);
// A string field: the length of `text`, then its bytes.
[[nodiscard]] std::string Str(std::string_view text);
// A string field whose length field says `length`, whatever follows it.
[[nodiscard]] std::string BadStr(std::int32_t length, std::string_view text);

// Each field of a record of `kind`, encoded. `values` must fit the kind's
// layout, one for each field, a text for a string field and an integer for
// an integer field; otherwise std::logic_error is thrown.
[[nodiscard]] std::vector<std::string> Fields(RecordKind kind, const std::vector<Value>& values);
// The whole record: its kind byte and its fields.
[[nodiscard]] std::string Record(RecordKind kind, const std::vector<Value>& values);
// The record cut short inside field `field` (0 for the first), after
// `kept` bytes of it: its kind byte, the fields before, the first bytes of
// that field.
[[nodiscard]] std::string CutRecord(RecordKind kind, const std::vector<Value>& values,
                                    std::size_t field, std::size_t kept);

// The records of each kind, their fields in the order of the layout.
[[nodiscard]] std::string AppRec(std::string_view app_path, std::string_view app_name,
                                 std::string_view main_path, std::string_view group_name);
[[nodiscard]] std::string FileRec(std::string_view source, std::string_view target,
                                  std::int32_t keep);
[[nodiscard]] std::string KeyRec(std::int32_t root, std::string_view sub_key,
                                 std::string_view extra1, std::string_view extra2);
[[nodiscard]] std::string LinkRec(std::string_view folder, std::string_view name,
                                  std::string_view path);

// `unit`, `times` times over.
[[nodiscard]] std::string Repeat(std::string_view unit, std::size_t times);

// A log in one line, to compare whole: "app: " and the AppInfo fields, then
// "; files: ", "; keys: " and "; links: " with the entries of each list that
// is not empty or has a non-zero count, its count in brackets where it is not
// the list's size: "app: |A||; files(2): s|t|-1". Fields are separated by
// "|" and entries by ", "; a root key is shown by its abbreviation where it
// has one, and a character outside printable ASCII as {hex code}.
[[nodiscard]] std::string Show(const InstallLog& log);
// A text as Show shows it.
[[nodiscard]] std::string Show(std::wstring_view text);
// Message boxes (MessageCall of tests/support/fake_env.h) as Show shows
// them: " | box <style>: <text>" each, with " [<title>]" after the style for
// a box that has a title of its own.
template <typename Box>
[[nodiscard]] std::string ShowBoxes(const std::vector<Box>& boxes) {
  std::string out;
  for (const Box& box : boxes) {
    out += " | box " + std::to_string(box.style) +
           (box.title ? " [" + Show(*box.title) + "]" : "") + ": " + Show(box.text);
  }
  return out;
}

}  // namespace uninstall::log_builder
