#include "tools/verify.h"

#include <cstdio>

#include "export/manifest.h"

int RunVerify(const std::string& root) {
  std::vector<ManifestFinding> findings = VerifyManifest(root);
  size_t ok = 0, reports = 0, other = 0;
  for (const ManifestFinding& finding : findings) {
    std::printf("%s\n", FindingText(finding).c_str());
    if (finding.kind == ManifestFinding::kOk) ++ok;
  }
  // A report with several wrong files is one report.
  std::string last;
  size_t lastLine = 0;
  for (const ManifestFinding& finding : findings) {
    bool ofReport = !finding.report.empty();
    if (ofReport && (finding.line != lastLine || finding.report != last)) ++reports;
    if (!ofReport) ++other;
    last = finding.report;
    lastLine = finding.line;
  }
  std::printf("%s: %zu of %zu reports ok, %zu other findings\n", ManifestPath(root).c_str(), ok, reports,
              other);
  std::fflush(stdout);
  return ok == reports && other == 0 ? 0 : kExitNotVerified;
}
