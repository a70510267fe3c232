#include "app/report_manifest.h"

#include "app/harrow_version.h"
#include "export/manifest.h"
#include "platform/platform.h"
#include "platform/user_name.h"

void RecordInManifest(const FinishedReport& report, const std::string& port, const std::string& stablePort,
                      NoticeSink& notices) {
  // Nothing reached a folder: there is no file to prove.
  if (report.name.files.empty()) return;
  ManifestEntry entry;
  entry.root = report.target.root;
  entry.report = report.name.base;
  entry.model = static_cast<int>(report.model);
  entry.port = port;
  entry.stablePort = stablePort == port ? "" : stablePort;
  entry.firstLine = report.firstLineTime;
  entry.endLine = report.name.time;
  entry.host = HostName();
  entry.user = UserName();
  entry.version = HARROW_VERSION_TEXT;
  entry.lines = report.lines;
  entry.files = report.name.files;
  std::string err;
  if (!AppendToManifest(entry, &err)) {
    notices.Notice("The report " + report.name.base + " could not be recorded in the manifest " +
                   ManifestPath(entry.root) + " (" + err + "); its files are saved, and harrow-capture --verify "
                   "will name them unrecorded.");
  }
}
