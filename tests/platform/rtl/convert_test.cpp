#include <gtest/gtest.h>

#include "platform/rtl/convert.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {
namespace {

TEST(Convert, StrToIntAcceptsWholeIntegersOnly) {
    EXPECT_EQ(StrToInt(" 42 "), 42);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("12:3"), EConvertError);
    EXPECT_THROW(StrToInt(""), EConvertError);
    EXPECT_THROW(StrToInt("-"), EConvertError);
    EXPECT_EQ(StrToIntDef("x", 7), 7);
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
}

TEST(Convert, FloatToStrGeneralFormat) {
    const TFormatSettings c = TFormatSettings::Invariant();
    TFormatSettings de = c;
    de.DecimalSeparator = ',';
    EXPECT_EQ(FloatToStr(1.5, c), "1.5");
    EXPECT_EQ(FloatToStr(1.5, de), "1,5");
    EXPECT_EQ(FloatToStr(0.1 + 0.2, c), "0.3");  // 15 significant digits
    EXPECT_EQ(FloatToStr(100, c), "100");
    EXPECT_EQ(FloatToStr(-0.0, c), "0");
    EXPECT_EQ(FloatToStr(1e20, c), "1E20");
    EXPECT_EQ(FloatToStr(1.5e-7, c), "1.5E-7");
    EXPECT_EQ(FloatToStr(123456789012345.0, c), "123456789012345");
}

TEST(Convert, StrToFloatUsesTheLocaleSeparator) {
    TFormatSettings de = TFormatSettings::Invariant();
    de.DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(StrToFloat("1,25", de), 1.25);
    EXPECT_THROW(StrToFloat("1.25", de), EConvertError);
    EXPECT_DOUBLE_EQ(StrToFloat(" -2.5E3 ", TFormatSettings::Invariant()), -2500);
    double v = 0;
    EXPECT_FALSE(TryStrToFloat("nan", v, TFormatSettings::Invariant()));
    EXPECT_FALSE(TryStrToFloat("1 000", v, TFormatSettings::Invariant()));
    EXPECT_FALSE(TryStrToFloat("", v, TFormatSettings::Invariant()));
}

TEST(Convert, RoundTripOfFloatText) {
    const TFormatSettings c = TFormatSettings::Invariant();
    for (double d : {0.5, 3.14159265358979, -1234.5678, 1e-10, 9.87654321e15}) {
        EXPECT_NEAR(StrToFloat(FloatToStr(d, c), c), d, std::abs(d) * 1e-14) << d;
    }
}

TEST(Convert, CurrencyText) {
    const TFormatSettings c = TFormatSettings::Invariant();
    EXPECT_EQ(CurrToStr(12345000, c), "1234.5");
    EXPECT_EQ(CurrToStr(-5, c), "-0.0005");
    EXPECT_EQ(CurrToStr(20000, c), "2");
}

}  // namespace
}  // namespace tabrix
