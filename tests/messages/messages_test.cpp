// The texts are what callers and users match on: check the ones whose exact
// shape is easy to break (trailing blanks, embedded quotes, CR LF, backslash)
// through the formatter the system uses with them.

#include "messages/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/format.h"

namespace tabrix {
namespace {

TEST(Messages, KeepTrailingBlankAndQuotesAfterFormat) {
    EXPECT_EQ(Format(SWrongRange, {"A1:"}), "Wrong range: \"A1:\". ");
    EXPECT_EQ(Format(SRowNotDefined, {"AB"}), "Row is not defined in range \"AB\". ");
    EXPECT_EQ(Format(SFileNotExists, {"C:\\t.xls"}), "File \"C:\\t.xls\" does not exist. ");
    EXPECT_EQ(Format(SFieldNotFoundInTable, {"Orders.Qty", "Orders"}),
              "Field \"Orders.Qty\" not found in table \"Orders\". ");
    EXPECT_EQ(Format(SFieldLastSymbolBracket, {"SUM(Qty"}),
              "The last symbol of the field \"SUM(Qty\" must be a bracket \")\". ");
}

TEST(Messages, TextsWithoutTrailingBlankStayWithout) {
    EXPECT_EQ(std::string(SErrorCreatingFile).back(), '"');
    EXPECT_EQ(std::string(SFooterInOtherBands).back(), 'e');
    EXPECT_EQ(Format(SBandRangeEmpty, {"Title"}), "Property Range of band Title is empty.");
}

TEST(Messages, NumericPlaceholders) {
    EXPECT_EQ(Format(SCellNotFound, {3, 12}), "The cell R3C12 is not found. This cell has no field. ");
    EXPECT_EQ(Format(SBandAreaCount, {"Title", "A1:B2,C3", 2}),
              "Band Title, range A1:B2,C3. Inadmissible range area count (2). ");
    EXPECT_EQ(Format(SCopyManagerInternalError, {3}), "TTabrix\\TTabrixCopyManager internal error 3. ");
    EXPECT_EQ(Format(SSplRowsPerSec, {125}), "125 rows/sec");
}

TEST(Messages, WriteErrorSpansTwoLines) {
    EXPECT_EQ(Format(SErrorWritingData, {"Bad formula"}),
              "Error writing report data to the Excel sheet: Bad formula. \r\nMaybe error in formula. ");
}

}  // namespace
}  // namespace tabrix
