#include "app/cut_short_exports.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/settings.h"

namespace fs = std::filesystem;

namespace {

constexpr long long kForeignTempAge = 60 * 60;

// The final name's extension and the rest of it.
void SplitExtension(const std::string& name, std::string* base, std::string* ext) {
  size_t dot = name.rfind('.');
  size_t slash = name.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    *base = name;
    ext->clear();
    return;
  }
  *base = name.substr(0, dot);
  *ext = name.substr(dot);
}

std::string FileName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsStaleTempFile(const AtomicTempName& temp, long long ageSeconds) {
  if (temp.machine == MachineName()) {
    return temp.pid != CurrentProcessId() && !ProcessMayBeRunning(temp.pid);
  }
  return ageSeconds > kForeignTempAge;
}

std::vector<std::string> RemoveStaleTempFiles(const std::string& folder) {
  std::vector<std::string> missing;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec);
  if (ec) return missing;
  const auto now = fs::file_time_type::clock::now();
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    AtomicTempName temp;
    std::string name = it->path().filename().string();
    if (!ParseAtomicTempName(name, &temp)) continue;
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc)) continue;
    auto modified = it->last_write_time(fileEc);
    if (fileEc) continue;
    long long age = std::chrono::duration_cast<std::chrono::seconds>(now - modified).count();
    if (!IsStaleTempFile(temp, age)) continue;
    if (!fs::remove(it->path(), fileEc)) continue;
    std::string finalPath = folder + kPathSeparator + temp.finalName;
    if (!PathExists(finalPath)) missing.push_back(finalPath);
  }
  std::sort(missing.begin(), missing.end());
  return missing;
}

void CleanUpCutShortExports(const std::string& trafficLog, NoticeSink& notices) {
  const std::string textFolder = TextFolder();
  std::vector<std::string> missing = RemoveStaleTempFiles(textFolder);
  std::vector<std::string> excel = RemoveStaleTempFiles(ExcelFolder());
  missing.insert(missing.end(), excel.begin(), excel.end());
  if (missing.empty()) return;

  std::string text = "An export was cut short when the capture last ended:";
  for (const std::string& path : missing) {
    std::string base, ext;
    SplitExtension(FileName(path), &base, &ext);
    std::string report = textFolder + kPathSeparator + base + ".txt";
    text += "\n" + path + " was never written";
    if (ext != ".txt" && PathExists(report)) text += " (the report is in " + report + ")";
  }
  text += "\nTo export the reports of the traffic log again, run: harrow-capture --replay-log \"" +
          trafficLog + "\" --root NEW-FOLDER";
  notices.Notice(text);
}
