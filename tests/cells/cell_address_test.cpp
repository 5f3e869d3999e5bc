#include "cells/cell_address.h"

#include <gtest/gtest.h>

#include <string>

#include "cells/tabrix_error.h"
#include "tests/support/test_support.h"

namespace tabrix {
namespace {

// The message of the ETabrixError that `f` raises, or "no error".
template <class F>
std::string ErrorOf(F f) {
    return tabrix::testing::RaisedMessage<ETabrixError>(f);
}

TEST(TabrixGetRange, BuildsOneAndTwoLetterColumns) {
    EXPECT_EQ(TabrixGetRange(1, 1), "A1");
    EXPECT_EQ(TabrixGetRange(1, 26), "Z1");
    EXPECT_EQ(TabrixGetRange(1, 27), "AA1");
    EXPECT_EQ(TabrixGetRange(5, 52), "AZ5");
    EXPECT_EQ(TabrixGetRange(5, 53), "BA5");
    EXPECT_EQ(TabrixGetRange(10, 702), "ZZ10");
    EXPECT_EQ(TabrixGetRange(3, 28), "AB3");
    EXPECT_EQ(TabrixGetRange(65535, 256), "IV65535");
    EXPECT_EQ(TabrixGetRange(0, 1), "A0");
    EXPECT_EQ(TabrixGetRange(-4, 2), "B-4");
}

TEST(TabrixGetRange, RefusesColumnsWithoutLetters) {
    EXPECT_EQ(ErrorOf([] { TabrixGetRange(1, 0); }), "Wrong column number: 0. ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRange(1, 703); }), "Wrong column number: 703. ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRange(1, -27); }), "Wrong column number: -27. ");
}

TEST(TabrixGetRange, RoundTripsEveryColumnAndManyRows) {
    for (int col = 1; col <= 702; ++col) {
        for (int row : {0, 1, 9, 10, 99, 65534, 65535, 1048576, 2147483647}) {
            const std::string cell = TabrixGetRange(row, col);
            ASSERT_EQ(TabrixGetRangeColumn(cell), col) << cell;
            ASSERT_EQ(TabrixGetRangeRow(cell), row) << cell;
        }
    }
}

TEST(TabrixGetRangeColumn, ReadsMarkersAndCase) {
    EXPECT_EQ(TabrixGetRangeColumn("ab7"), 28);
    EXPECT_EQ(TabrixGetRangeColumn("$B$3"), 2);
    EXPECT_EQ(TabrixGetRangeColumn("A$1"), 1);
    EXPECT_EQ(TabrixGetRangeColumn("ABC1"), 28);  // a third letter is not read
    EXPECT_EQ(TabrixGetRangeColumn("zz"), 702);   // digits need not follow
    EXPECT_EQ(TabrixGetRangeColumn("B:C"), 2);
}

TEST(TabrixGetRangeColumn, RefusesTextsWithoutLeadingLetter) {
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeColumn("7"); }), "Wrong range: \"7\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeColumn("$"); }), "Wrong range: \"$\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeColumn(""); }), "Wrong range: \"\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeColumn("$$A1"); }), "Wrong range: \"$$A1\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeColumn(" A1"); }), "Wrong range: \" A1\". ");
    // Letters of other scripts are not column letters: "Ä1" in UTF-8.
    EXPECT_EQ(ErrorOf([] {
                  TabrixGetRangeColumn(
                      "\xC3\x84"
                      "1");
              }),
              "Wrong range: \"\xC3\x84"
              "1\". ");
}

TEST(TabrixGetRangeRow, ReadsFromTheFirstDigit) {
    EXPECT_EQ(TabrixGetRangeRow("$A$12"), 12);
    EXPECT_EQ(TabrixGetRangeRow("A007"), 7);
    EXPECT_EQ(TabrixGetRangeRow("x y-3"), 3);  // what stands before the digit is skipped
    EXPECT_EQ(TabrixGetRangeRow("2147483647"), 2147483647);
}

TEST(TabrixGetRangeRow, RefusesWhatIsNoWholeNumber) {
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow("A1:B2"); }), "Wrong range: \"A1:B2\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow("A1 "); }), "Wrong range: \"A1 \". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow("A0x1F"); }), "Wrong range: \"A0x1F\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow("A2147483648"); }), "Wrong range: \"A2147483648\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow("AB"); }), "Row is not defined in range \"AB\". ");
    EXPECT_EQ(ErrorOf([] { TabrixGetRangeRow(""); }), "Row is not defined in range \"\". ");
}

TEST(TabrixGetRangeFirstLast, SplitAtTheFirstColon) {
    EXPECT_EQ(TabrixGetRangeFirst("A1:C3"), "A1");
    EXPECT_EQ(TabrixGetRangeFirst("B2"), "B2");
    EXPECT_EQ(TabrixGetRangeFirst(":C3"), "");
    EXPECT_EQ(TabrixGetRangeFirst(" A1 : C3"), " A1 ");
    EXPECT_EQ(TabrixGetRangeLast("A1:C3"), "C3");
    EXPECT_EQ(TabrixGetRangeLast("B2"), "B2");
    EXPECT_EQ(TabrixGetRangeLast("A1:"), "A1:");
    EXPECT_EQ(TabrixGetRangeLast("A1:B2:C3"), "B2:C3");
    EXPECT_EQ(TabrixGetRangeLast(""), "");
}

TEST(TabrixError, IsAPlatformExceptionWithItsOwnName) {
    try {
        TabrixGetRangeRow("Q");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), "ETabrixError");
        EXPECT_EQ(ExceptionText(e), "ETabrixError. Row is not defined in range \"Q\". ");
    }
}

}  // namespace
}  // namespace tabrix
