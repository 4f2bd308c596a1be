#include "tests/e2e/answer_script.h"

#include <stdexcept>

#include "tests/e2e/utf8.h"

namespace e2e {

const char* ButtonLabel(int id) {
  for (const auto& b : kButtons) {
    if (b.id == id) return b.name;
  }
  return "?";
}

std::optional<ButtonSet> ButtonsOfStyle(unsigned style) {
  static constexpr std::array<ButtonSet, 6> kSets{
      Bit(IDOK),                                    // MB_OK
      Bit(IDOK) | Bit(IDCANCEL),                    // MB_OKCANCEL
      Bit(IDABORT) | Bit(IDRETRY) | Bit(IDIGNORE),  // MB_ABORTRETRYIGNORE
      Bit(IDYES) | Bit(IDNO) | Bit(IDCANCEL),       // MB_YESNOCANCEL
      Bit(IDYES) | Bit(IDNO),                       // MB_YESNO
      Bit(IDRETRY) | Bit(IDCANCEL)};                // MB_RETRYCANCEL
  if ((style & 0x0Fu) >= kSets.size()) return std::nullopt;
  return kSets[style & 0x0Fu];
}

std::string ButtonSetText(ButtonSet set) {
  std::string out;
  for (const auto& b : kButtons) {
    if ((set & Bit(b.id)) == 0) continue;
    if (!out.empty()) out += '+';
    out += b.name;
  }
  return out.empty() ? "none" : out;
}

const std::array<IconKind, 4>& IconKinds() {
  static const std::array<IconKind, 4> kinds{{
      {MB_ICONHAND, IDI_HAND, "stop"},
      {MB_ICONQUESTION, IDI_QUESTION, "question"},
      {MB_ICONEXCLAMATION, IDI_EXCLAMATION, "exclamation"},
      {MB_ICONASTERISK, IDI_ASTERISK, "information"},
  }};
  return kinds;
}

const char* IconName(unsigned flag) {
  if (flag == 0) return "none";
  for (const auto& k : IconKinds()) {
    if (k.flag == flag) return k.name;
  }
  return "?";
}

std::string Escaped(std::wstring_view text) {
  static constexpr std::wstring_view kPlain = L"\n\r\t\\";
  static constexpr std::wstring_view kEscaped = L"nrt\\";
  std::wstring out;
  for (wchar_t c : text) {
    const std::size_t k = kPlain.find(c);
    if (k != std::wstring_view::npos) out += L'\\';
    out += k != std::wstring_view::npos ? kEscaped[k] : c;
  }
  return Narrow(out);
}

namespace {

std::string Unescape(std::string_view value, int line) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) throw ScriptError{line, "backslash at the end of a value"};
    const char c = value[i];
    if (c != 'n' && c != 't' && c != '\\') {
      throw ScriptError{line,
                        std::string("unknown escape \\") + c + " (write \\\\ for a backslash)"};
    }
    out += c == 'n' ? '\n' : c == 't' ? '\t' : '\\';
  }
  return out;
}

int ParseInt(const std::string& value, int line) {
  try {
    std::size_t used = 0;
    const long v = std::stol(value, &used, 0);
    if (used == value.size()) return static_cast<int>(v);
  } catch (const std::exception&) {
  }
  throw ScriptError{line, "not a number: " + value};
}

bool YesNo(const std::string& key, const std::string& value, int line) {
  if (value != "yes" && value != "no") throw ScriptError{line, key + " must be yes or no"};
  return value == "yes";
}

void SetRunKey(Script& script, const std::string& key, const std::string& value, int line) {
  if (key == "window") {
    if (value != "never" && value != "shown" && value != "any") {
      throw ScriptError{line, "window must be never, shown or any"};
    }
    script.window = value == "never"   ? WindowRule::kNever
                    : value == "shown" ? WindowRule::kShown
                                       : WindowRule::kAny;
  } else if (key == "exit_code") {
    script.exit_code = static_cast<DWORD>(ParseInt(value, line));
  } else if (key == "box_timeout") {
    script.box_timeout_s = ParseInt(value, line);
  } else if (key == "exit_timeout") {
    script.exit_timeout_s = ParseInt(value, line);
  } else if (key == "poll") {
    const int ms = ParseInt(value, line);
    if (ms < 1 || ms > 10000) throw ScriptError{line, "poll must be 1 to 10000"};
    script.poll = std::chrono::milliseconds(ms);
  } else if (key == "watch_max_ms") {
    script.watch_max_ms = ParseInt(value, line);
    if (script.watch_max_ms < 1) throw ScriptError{line, "watch_max_ms must be positive"};
  } else if (key == "measure") {
    script.measure = YesNo(key, value, line);
  } else {
    throw ScriptError{line, "unknown setting " + key};
  }
}

void SetBoxKey(BoxExpectation& box, const std::string& key, const std::string& value, int line) {
  if (key == "title") {
    box.title = Widen(value);
  } else if (key == "style") {
    const int style = ParseInt(value, line);
    if (style < 0 || !ButtonsOfStyle(static_cast<unsigned>(style)) || (style & ~0xFF) != 0) {
      throw ScriptError{line, "unsupported style " + value};
    }
    box.style = static_cast<unsigned>(style);
  } else if (key == "text") {
    box.text = Widen(value);
  } else if (key == "run") {
    box.run = Widen(value);
  } else if (key == "hold_half") {
    box.hold_half = Widen(value);
  } else if (key == "close_main") {
    box.close_main = YesNo(key, value, line);
  } else if (key == "watch") {
    box.watch = YesNo(key, value, line);
  } else if (key == "kill") {
    box.kill = YesNo(key, value, line);
  } else if (key == "answer") {
    for (const auto& b : kButtons) {
      if (value == b.name) box.answer = b.id;
    }
    if (!box.answer) throw ScriptError{line, "unknown button " + value};
  } else {
    throw ScriptError{line, "unknown box key " + key};
  }
}

void CheckBox(const BoxExpectation& b, bool last, const Script& script) {
  if (b.kill) {
    if (!b.title || !b.style || !b.text || b.answer || !last || script.exit_code) {
      throw ScriptError{b.line,
                        "a [box] with kill=yes needs title, style and text, no answer, is the "
                        "last one, and the run no exit_code"};
    }
    return;
  }
  if (!b.title || !b.style || !b.text || !b.answer) {
    throw ScriptError{b.line, "a [box] needs title, style, text and answer"};
  }
  if ((*ButtonsOfStyle(*b.style) & Bit(*b.answer)) == 0) {
    throw ScriptError{b.line, std::string("style has no button ") + ButtonLabel(*b.answer)};
  }
  if (b.hold_half && !b.watch) throw ScriptError{b.line, "hold_half needs watch=yes"};
}

}  // namespace

Script ParseScript(std::istream& in) {
  Script script;
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    if (raw.empty() || raw[0] == '#') continue;
    if (raw == "[box]") {
      script.boxes.emplace_back().line = line;
      continue;
    }
    const auto eq = raw.find('=');
    if (eq == std::string::npos) throw ScriptError{line, "expected key=value or [box]"};
    const std::string key = raw.substr(0, eq);
    const std::string value = Unescape(std::string_view(raw).substr(eq + 1), line);
    if (script.boxes.empty()) {
      SetRunKey(script, key, value, line);
    } else {
      SetBoxKey(script.boxes.back(), key, value, line);
    }
  }
  for (std::size_t i = 0; i < script.boxes.size(); ++i) {
    CheckBox(script.boxes[i], i + 1 == script.boxes.size(), script);
  }
  return script;
}

}  // namespace e2e
