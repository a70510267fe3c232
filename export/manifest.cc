#include "export/manifest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>

#include <nlohmann/json.hpp>

#include "export/sha256.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/synced_append.h"

namespace {

using Json = nlohmann::ordered_json;

// A manifest line is about a kilobyte; the tail read to chain the next one
// holds the longest line with room to spare.
constexpr size_t kTailBytes = 64 * 1024;

// The folders whose files are report files, named as the settings name them.
const char* const kReportFolders[] = {"Text", "Excel"};

bool IsAbsolute(const std::string& name) {
  return (!name.empty() && (name[0] == '/' || name[0] == '\\')) || (name.size() > 1 && name[1] == ':');
}

std::string PathOf(const std::string& root, const std::string& name) {
  if (IsAbsolute(name)) return name;
  std::string path = root + kPathSeparator + name;
  std::replace(path.begin() + static_cast<long>(root.size()), path.end(), '/', kPathSeparator[0]);
  return path;
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// The last line of a manifest (its last `tail` bytes) and what must go
// before the next line: a newline when a cut-short append left the last
// line without one, so the damage stays in that line alone.
std::string LastLine(const std::string& tail, std::string* separator) {
  std::string body = tail;
  *separator = "";
  if (!body.empty() && body.back() == '\n') {
    body.pop_back();
  } else if (!body.empty()) {
    *separator = "\n";
  }
  size_t newline = body.rfind('\n');
  return newline == std::string::npos ? body : body.substr(newline + 1);
}

bool IsHex64(const Json& value) {
  if (!value.is_string()) return false;
  const std::string& text = value.get_ref<const std::string&>();
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Why `entry` is no manifest entry; empty when it is one.
std::string WhyDamaged(const Json& entry) {
  if (!entry.is_object()) return "not a JSON object";
  using Check = std::function<bool(const Json&)>;
  const Check text = [](const Json& v) { return v.is_string(); };
  const Check textOrNull = [](const Json& v) { return v.is_string() || v.is_null(); };
  const Check count = [](const Json& v) { return v.is_number_unsigned(); };
  const Check modelNumber = [](const Json& v) { return v.is_number_unsigned() || v.is_null(); };
  const Check files = [](const Json& v) {
    if (!v.is_array()) return false;
    for (const Json& file : v) {
      if (!file.is_object() || !file.contains("name") || !file["name"].is_string() ||
          file["name"].get_ref<const std::string&>().empty() || !file.contains("size") ||
          !file["size"].is_number_unsigned() || !file.contains("sha256") || !IsHex64(file["sha256"]))
        return false;
    }
    return true;
  };
  const std::pair<const char*, Check> fields[] = {
      {"report", text},         {"model", modelNumber}, {"port", textOrNull}, {"stablePort", textOrNull},
      {"firstLine", text},      {"endLine", text},      {"host", text},       {"user", text},
      {"version", text},        {"lines", count},       {"files", files},     {"previous", IsHex64},
  };
  for (const auto& [key, check] : fields) {
    if (!entry.contains(key)) return std::string("no \"") + key + "\"";
    if (!check(entry[key])) return std::string("\"") + key + "\" is not as a manifest writes it";
  }
  if (entry["report"].get_ref<const std::string&>().empty()) return "\"report\" is empty";
  return "";
}

std::vector<std::string> SplitLines(const std::string& data) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    lines.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Checks the files of one entry; their names go into `recorded`.
void CheckFiles(const std::string& root, const Json& entry, size_t line, std::set<std::string>* recorded,
                std::vector<ManifestFinding>* findings) {
  const std::string& report = entry["report"].get_ref<const std::string&>();
  bool allOk = true;
  for (const Json& file : entry["files"]) {
    const std::string& name = file["name"].get_ref<const std::string&>();
    recorded->insert(name);
    std::string path = PathOf(root, name), hex, err;
    long long size = 0;
    ManifestFinding finding{ManifestFinding::kOk, report, name, line, ""};
    if (!PathExists(path)) {
      finding.kind = ManifestFinding::kMissing;
    } else if (!Sha256OfFile(path, &hex, &size, &err)) {
      finding.kind = ManifestFinding::kUnreadable;
      finding.detail = err;
    } else if (hex != file["sha256"].get_ref<const std::string&>() || size < 0 ||
               static_cast<unsigned long long>(size) != file["size"].get<unsigned long long>()) {
      finding.kind = ManifestFinding::kAltered;
    } else {
      continue;
    }
    allOk = false;
    findings->push_back(finding);
  }
  if (allOk) findings->push_back(ManifestFinding{ManifestFinding::kOk, report, "", line, ""});
}

void FindUnrecorded(const std::string& root, const std::set<std::string>& recorded,
                    std::vector<ManifestFinding>* findings) {
  namespace fs = std::filesystem;
  std::vector<std::string> unrecorded;
  for (const char* folder : kReportFolders) {
    std::error_code ec;
    fs::directory_iterator it(fs::path(root + kPathSeparator + folder), ec);
    if (ec) continue;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      std::error_code fileEc;
      if (!it->is_regular_file(fileEc)) continue;
      std::string name = it->path().filename().string();
      // An export in progress: not a report file yet.
      AtomicTempName temp;
      if (ParseAtomicTempName(name, &temp)) continue;
      std::string recordedName = std::string(folder) + "/" + name;
      if (!recorded.count(recordedName)) unrecorded.push_back(recordedName);
    }
  }
  std::sort(unrecorded.begin(), unrecorded.end());
  for (const std::string& name : unrecorded)
    findings->push_back(ManifestFinding{ManifestFinding::kUnrecorded, "", name, 0, ""});
}

}  // namespace

std::string ManifestPath(const std::string& root) {
  return root + kPathSeparator + "Manifest" + kPathSeparator + "manifest.jsonl";
}

std::string ManifestFileName(const std::string& root, const std::string& path) {
  const std::string prefix = root + kPathSeparator;
  if (root.empty() || path.compare(0, prefix.size(), prefix) != 0) return path;
  std::string name = path.substr(prefix.size());
  std::replace(name.begin(), name.end(), kPathSeparator[0], '/');
  return name;
}

bool AppendToManifest(const ManifestEntry& entry, std::string* err) {
  Json files = Json::array();
  for (const std::string& path : entry.files) {
    std::string hex;
    long long size = 0;
    if (!Sha256OfFile(path, &hex, &size, err)) return false;
    files.push_back(Json{{"name", ManifestFileName(entry.root, path)}, {"size", size}, {"sha256", hex}});
  }
  Json line{{"report", entry.report},
            {"model", entry.model == 0 ? Json(nullptr) : Json(entry.model)},
            {"port", TextOrNull(entry.port)},
            {"stablePort", TextOrNull(entry.stablePort)},
            {"firstLine", IsoLocalTime(entry.firstLine)},
            {"endLine", IsoLocalTime(entry.endLine)},
            {"host", entry.host},
            {"user", entry.user},
            {"version", entry.version},
            {"lines", entry.lines},
            {"files", files}};
  const std::string path = ManifestPath(entry.root);
  // The folder alone, never the root above it: a root that could not be
  // made (too long, a drive that is gone) must stay unmade.
  std::string folderErr;
  if (!PathExists(entry.root)) {
    *err = "the root folder " + entry.root + " does not exist";
    return false;
  }
  if (!MakeDirectories(entry.root + kPathSeparator + "Manifest", &folderErr)) {
    *err = "cannot make the folder of " + path + ": " + folderErr;
    return false;
  }
  return AppendSynced(
      path, kTailBytes,
      [&line](const std::string& tail, long long size) {
        std::string separator;
        line["previous"] = Sha256Hex(size == 0 ? std::string() : LastLine(tail, &separator));
        // A name that is not UTF-8 is kept readable, not refused.
        return separator + line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
      },
      err);
}

std::string FindingText(const ManifestFinding& finding) {
  switch (finding.kind) {
    case ManifestFinding::kOk:
      return "ok " + finding.report;
    case ManifestFinding::kAltered:
      return "altered " + finding.report + " " + finding.file;
    case ManifestFinding::kMissing:
      return "missing " + finding.report + " " + finding.file;
    case ManifestFinding::kUnreadable:
      return "unreadable " + finding.report + " " + finding.file + ": " + finding.detail;
    case ManifestFinding::kUnrecorded:
      return "unrecorded " + finding.file;
    case ManifestFinding::kChainBroken:
      return "chain broken at line " + std::to_string(finding.line);
    case ManifestFinding::kDamaged:
      return "damaged line " + std::to_string(finding.line) + ": " + finding.detail;
    case ManifestFinding::kNoManifest:
      return "no manifest " + finding.file + ": " + finding.detail;
  }
  return "";
}

std::vector<ManifestFinding> VerifyManifest(const std::string& root) {
  std::vector<ManifestFinding> findings;
  std::set<std::string> recorded;
  std::string data, err;
  const std::string path = ManifestPath(root);
  if (!ReadWholeFile(path, &data, &err)) {
    findings.push_back(ManifestFinding{ManifestFinding::kNoManifest, "", path, 0, err});
  }
  std::string previous;
  std::vector<std::string> lines = SplitLines(data);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t number = i + 1;
    const std::string expected = Sha256Hex(previous);
    previous = lines[i];
    Json entry = Json::parse(lines[i], nullptr, false);
    std::string why = entry.is_discarded() ? "not JSON" : WhyDamaged(entry);
    if (!why.empty()) {
      findings.push_back(ManifestFinding{ManifestFinding::kDamaged, "", "", number, why});
      continue;
    }
    if (entry["previous"].get_ref<const std::string&>() != expected)
      findings.push_back(ManifestFinding{ManifestFinding::kChainBroken, "", "", number, ""});
    CheckFiles(root, entry, number, &recorded, &findings);
  }
  FindUnrecorded(root, recorded, &findings);
  return findings;
}
