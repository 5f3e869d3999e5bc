#pragma once
// A small template workbook written part by part as Excel writes it: two
// sheets, styles with a bold 14-point font, a fill, a date format and
// wrapping, a rich shared string, merged cells, custom row heights, plain,
// shared and array formulas, conditional formatting and page setup to keep,
// and a calculation chain.
//
// Sheet "Template":
//   row 1 (height 30, custom): A1 "Title" (style 1, merged A1:C1)
//   row 2: A2 "Qty" (style 2), B2 "Price" (style 2), C2 rich "Total" (style 2)
//   row 3: A3 2, B3 10.5, C3 =A3*B3 (shared master, cached 21)
//   row 4: A4 3, B4 4, C4 shared from C3 (cached 12)
//   row 5: A5 "Sum", C5 =SUM(C3:C4) (cached 33, style 3), D5 date 45000 (style 4)
//   row 6: A6 wrapped long text (style 5)
// Sheet "Other": A1 =Template!C5 (cached 33), B1:B2 array {=A1*2}
#include <string>

namespace tabrix::test {

std::string TemplateWorkbookBytes();
// The same written to a unique file in the temporary folder.
std::string WriteTemplateWorkbook(const std::string& name = "template.xlsx");
// A folder of its own under the temporary folder, removed by the caller.
std::string MakeTempDir();
void RemoveTree(const std::string& folder);

}  // namespace tabrix::test
