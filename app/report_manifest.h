#pragma once

#include <string>

#include "platform/notice.h"
#include "report/report_collector.h"

/// Records a committed report in the manifest of the root it was exported
/// to, with the port its lines came from (empty for a replay) and that
/// port's stable name (empty when none is known), this machine, this user
/// and this program's version. A failure is told through `notices`, naming
/// the manifest and the cause; the capture goes on.
void RecordInManifest(const FinishedReport& report, const std::string& port, const std::string& stablePort,
                      NoticeSink& notices);
