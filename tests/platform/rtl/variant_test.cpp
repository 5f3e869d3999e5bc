#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/variant.h"

namespace tabrix {
namespace {

class VariantTest : public ::testing::Test {
protected:
    TFormatSettingsScope FScope{TFormatSettings::Invariant()};
};

TEST_F(VariantTest, KindsAndText) {
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_EQ(Variant().AsAnsiString(), "");
    EXPECT_EQ(Variant::Null().AsAnsiString(), "");
    EXPECT_EQ(Variant(42).AsAnsiString(), "42");
    EXPECT_EQ(Variant(2.5).AsAnsiString(), "2.5");
    EXPECT_EQ(Variant::FromCurrency(int64_t{12345}).AsAnsiString(), "1.2345");
    EXPECT_EQ(Variant(true).AsAnsiString(), "True");
    EXPECT_EQ(Variant::FromDate(EncodeDate(2026, 1, 2)).AsAnsiString(), "01/02/2026");
    EXPECT_EQ(Variant(u"\u00e4").AsAnsiString(), "\xC3\xA4");
    EXPECT_EQ(Variant("\xC3\xA4").AsUnicodeString(), u"\u00e4");
    EXPECT_TRUE(Variant(u"x").IsString());
    EXPECT_TRUE(Variant("x").IsString());
}

TEST_F(VariantTest, NumbersFromTextAndFailures) {
    EXPECT_DOUBLE_EQ(Variant("1.5").AsDouble(), 1.5);
    EXPECT_EQ(Variant("17").AsInteger(), 17);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2);  // banker's rounding
    EXPECT_DOUBLE_EQ(Variant().AsDouble(), 0);
    EXPECT_THROW(Variant("abc").AsDouble(), EVariantError);
    EXPECT_THROW(Variant::Null().AsDouble(), EVariantError);
    try {
        Variant("abc").AsDouble();
    } catch (const EVariantError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Double)");
    }
    EXPECT_TRUE(Variant("TRUE").AsBoolean());
    EXPECT_EQ(Variant(Variant(3)), Variant(3));
    EXPECT_NE(Variant(3), Variant(3.0));
}

TEST_F(VariantTest, ArrayBoundsAreChecked) {
    TVariantArray2D a(1, 3, 1, 2);
    EXPECT_EQ(a.RowCount(), 3);
    EXPECT_EQ(a.ColHigh(), 2);
    a(3, 2) = Variant(u"last");
    EXPECT_EQ(a.Row(3)[1], Variant(u"last"));
    EXPECT_TRUE(a(1, 1).IsEmpty());
    EXPECT_THROW(a(0, 1), ERangeError);
    EXPECT_THROW(a(1, 3), ERangeError);
    EXPECT_THROW(a.Row(4), ERangeError);
}

}  // namespace
}  // namespace tabrix
