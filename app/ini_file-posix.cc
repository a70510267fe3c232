#include "app/ini_file.h"

#include <vector>

#include "platform/atomic_file.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

struct Line {
  std::string_view text;  // without its line end
  size_t begin;           // offset of the line in the file
  size_t end;             // offset just past its line end
};

std::vector<Line> SplitLines(std::string_view data) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t nl = data.find('\n', pos);
    size_t stop = nl == std::string_view::npos ? data.size() : nl + 1;
    std::string_view text = data.substr(pos, (nl == std::string_view::npos ? data.size() : nl) - pos);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({text, pos, stop});
    pos = stop;
  }
  return lines;
}

// The section name of a "[name]" line, or false.
bool SectionOf(std::string_view line, std::string_view* name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false.
bool KeyValueOf(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(t.substr(0, eq));
  if (key->empty()) return false;
  std::string_view v = Trim(t.substr(eq + 1));
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  *value = v;
  return true;
}

}  // namespace

bool PrepareIniFile(const std::string&, std::string*) { return true; }

bool IniHasSection(const std::string&, std::string_view text, std::string_view section) {
  for (const Line& line : SplitLines(text)) {
    std::string_view name;
    if (SectionOf(line.text, &name) && EqualNoCase(name, section)) return true;
  }
  return false;
}

bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value) {
  IniText file;
  if (!ReadIniText(path, kIniReadLimit, &file, nullptr)) return false;
  bool inSection = false;
  for (const Line& line : SplitLines(file.text)) {
    std::string_view name, k, v;
    if (SectionOf(line.text, &name)) {
      inSection = EqualNoCase(name, section);
    } else if (inSection && KeyValueOf(line.text, &k, &v) && EqualNoCase(k, key)) {
      *value = std::string(v);
      return true;
    }
  }
  return false;
}

bool IniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value, std::string* err) {
  IniText file;
  std::string readErr;
  // A missing file is simply empty. One that is there but cannot be read
  // as text would be replaced by a file holding this key alone, and every
  // other setting in it would be lost: refuse instead. Read whole, past
  // the read limit, for the same reason.
  if (!ReadIniText(path, std::string::npos - 1, &file, &readErr) && !readErr.empty()) {
    if (err) *err = readErr;
    return false;
  }
  const std::string& data = file.text;
  // A file with a byte-order mark keeps one, so that Notepad still takes it
  // as Unicode; one in UTF-16 is written back in UTF-8, which reads the same.
  const std::string mark = file.encoding == IniEncoding::kPlain ? "" : "\xEF\xBB\xBF";
  const std::string eol = data.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  // Built with append: GCC 12 warns falsely (-Wrestrict) on chains of +.
  std::string keyLine(key);
  keyLine.append("=").append(value).append(eol);

  std::vector<Line> lines = SplitLines(data);
  bool inSection = false;
  bool sectionFound = false;
  size_t insertAt = 0;  // just past the last non-blank line of the section
  for (const Line& line : lines) {
    std::string_view name, k, v;
    if (SectionOf(line.text, &name)) {
      if (inSection) break;
      inSection = EqualNoCase(name, section);
      if (inSection) {
        sectionFound = true;
        insertAt = line.end;
      }
      continue;
    }
    if (!inSection) continue;
    if (KeyValueOf(line.text, &k, &v) && EqualNoCase(k, key)) {
      std::string out = mark + data.substr(0, line.begin);
      out.append(keyLine).append(data, line.end);
      return WriteFileAtomically(path, out, err);
    }
    if (!Trim(line.text).empty()) insertAt = line.end;
  }

  std::string out = mark;
  if (sectionFound) {
    std::string head = data.substr(0, insertAt);
    if (!head.empty() && head.back() != '\n') head += eol;
    out += head;
    out.append(keyLine).append(data, insertAt);
  } else {
    out += data;
    if (!data.empty() && out.back() != '\n') out += eol;
    out.append("[").append(section).append("]").append(eol).append(keyLine);
  }
  return WriteFileAtomically(path, out, err);
}
