#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

namespace tabrix {
namespace {

TEST(Format, SubstitutesInOrderAndKeepsTrailingBlanks) {
    EXPECT_EQ(Format("Wrong range: \"%s\". ", {"A:B"}), "Wrong range: \"A:B\". ");
    EXPECT_EQ(Format("%s has %d rows, 100%%", {"Sheet", 12}), "Sheet has 12 rows, 100%");
    EXPECT_EQ(Format("no placeholders", {}), "no placeholders");
}

TEST(Format, MismatchRaisesConvertError) {
    EXPECT_THROW(Format("%s and %s", {"one"}), EConvertError);
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%x", {1}), EConvertError);
    EXPECT_THROW(Format("trailing %", {}), EConvertError);
}

TEST(Exceptions, ClassNameAndText) {
    EReadError e("bad");
    const Exception& base = e;
    EXPECT_STREQ(base.ClassName(), "EReadError");
    EXPECT_EQ(ExceptionText(base), "EReadError. bad");
    EXPECT_THROW(Assert(false, "TX.Method"), EAssertionFailed);
    EXPECT_NO_THROW(Assert(true, "never"));
}

}  // namespace
}  // namespace tabrix
