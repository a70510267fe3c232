#include "app/export_settings.h"

#include "app/settings.h"
#include "platform/platform.h"

namespace {

// Longest value read, as the settings file has always been read.
constexpr size_t kExportFormatsLength = 259;

}  // namespace

ExportFormats ReadExportFormats(std::vector<std::string>* unknown) {
  return ParseExportFormats(ReadSetting("ExportFormats", "", kExportFormatsLength), unknown);
}

ExportTarget ReadExportTarget() {
  ExportTarget target;
  // In the order the export has always read them: the folders that name
  // the report's files, then the formats of its worksheet.
  target.textFolder = TextFolder();
  target.excelFolder = ExcelFolder();
  target.formats = ReadExportFormats();
  target.root = ReadRootFolder("");
  target.resultsFolder = target.root + kPathSeparator + "Results";
  return target;
}
