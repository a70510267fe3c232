#pragma once

#include <string>
#include <vector>

#include "export/report_export.h"

// The export's part of the settings store. The exports themselves take
// their folders and formats as an ExportTarget; these read them.

/// The formats asked for by the "ExportFormats" setting; the names it does
/// not know go to `unknown` (may be null).
ExportFormats ReadExportFormats(std::vector<std::string>* unknown = nullptr);

/// The configured model's root, its Text and Excel folders and the
/// "ExportFormats" setting, read now. Safe on the report thread: every read takes the
/// settings file anew, as the settings dialog may write it meanwhile.
ExportTarget ReadExportTarget();
