#pragma once

#include <cstddef>
#include <string>

#include "export/workbook.h"

// Workbooks built through the calls the report handlers make. The golden
// files of the same names (golden/*.xls) were assembled by hand from the
// record layouts (assemble_golden.py); the writer's output must match them.

/// Four report fonts, column 1 at 26 characters, "abc" bold and centred at
/// (0, 0), 2.5 at (1, 1): worked_example.xls.
void BuildWorkedExample(Workbook& wb);
/// Empty and cut texts, bytes above 0x7F, odd widths, the last row and
/// column: edge_cells.xls.
void BuildEdgeCells(Workbook& wb);
/// Raw lines, a bold heading and an 8 x 12 table: plate_report.xls.
void BuildPlateReport(Workbook& wb);
/// "abcd...zabc..." of length n.
std::string LongText(size_t n);
