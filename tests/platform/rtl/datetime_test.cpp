#include <gtest/gtest.h>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {
namespace {

TEST(DateTime, SerialDaysMatchTheSpreadsheet) {
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 3, 1), 61);
    EXPECT_DOUBLE_EQ(EncodeDate(2024, 2, 29), 45351);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    int y, m, d;
    DecodeDate(45351.75, y, m, d);
    EXPECT_EQ(y, 2024);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(d, 29);
    DecodeDate(-1, y, m, d);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(y, 1899);
}

TEST(DateTime, TimeOfDayRoundsToMilliseconds) {
    int h, n, s, ms;
    DecodeTime(EncodeTime(13, 5, 9, 250), h, n, s, ms);
    EXPECT_EQ(h, 13);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(s, 9);
    EXPECT_EQ(ms, 250);
    DecodeTime(0.9999999999, h, n, s, ms);  // never rolls over to hour 24
    EXPECT_EQ(h, 23);
}

TEST(DateTime, FormatTokens) {
    TFormatSettings de = TFormatSettings::Invariant();
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd/mm/yyyy";
    const TDateTime t = EncodeDate(2026, 3, 7) + EncodeTime(9, 4, 5, 0);
    EXPECT_EQ(FormatDateTime("h:mm:ss", t, de), "9:04:05");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy", t, de), "07.03.2026");
    EXPECT_EQ(FormatDateTime("d/m/yy", t, de), "7.3.26");
    EXPECT_EQ(FormatDateTime("hh:nn 'Uhr'", t, de), "09:04 Uhr");
    EXPECT_EQ(FormatDateTime("h:mm:ss", EncodeTime(0, 0, 7, 0), de), "0:00:07");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", EncodeDate(987, 11, 30), de), "0987-11-30");
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", EncodeDate(2026, 1, 2) + EncodeTime(23, 59, 8, 45), de), "23:59:08.045");
    EXPECT_EQ(FormatDateTime("d/m/yyyy", EncodeDate(2026, 12, 31), de), "31.12.2026");
}

TEST(DateTime, ShortDateTextReadsBack) {
    TFormatSettings de = TFormatSettings::Invariant();
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd/mm/yyyy";
    const TFormatSettings us = TFormatSettings::Invariant();
    TDateTime v = 0;
    ASSERT_TRUE(TryStrToDate("07.03.2026", v, de));
    EXPECT_DOUBLE_EQ(v, EncodeDate(2026, 3, 7));
    ASSERT_TRUE(TryStrToDate("03/07/2026", v, us));
    EXPECT_DOUBLE_EQ(v, EncodeDate(2026, 3, 7));
    EXPECT_FALSE(TryStrToDate("31.02.2026", v, de));
    EXPECT_FALSE(TryStrToDate("1.2", v, de));
    ASSERT_TRUE(TryStrToDateTime("07.03.2026 13:30:15", v, de));
    EXPECT_NEAR(v, EncodeDate(2026, 3, 7) + EncodeTime(13, 30, 15, 0), 1e-9);
    ASSERT_TRUE(TryStrToTime("1:30 PM", v, us));
    EXPECT_NEAR(v, EncodeTime(13, 30, 0, 0), 1e-9);
}

TEST(Locale, GermanLocaleUsesCommaAndSemicolon) {
    const TFormatSettings de = TFormatSettings::FromLocale("de_DE.UTF-8");
    if (de.DecimalSeparator != ',') GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_EQ(de.ListSeparator, ';');
    EXPECT_EQ(de.DateSeparator, '.');
    EXPECT_EQ(de.ShortDateFormat, "dd/mm/yyyy");
}

TEST(Locale, CLocaleIsInvariant) {
    const TFormatSettings c = TFormatSettings::FromLocale("C");
    EXPECT_EQ(c.DecimalSeparator, '.');
    EXPECT_EQ(c.ListSeparator, ',');
    EXPECT_EQ(c.ShortDateFormat, "mm/dd/yyyy");
}

TEST(Locale, ScopeRestoresSettings) {
    const char before = FormatSettings().DecimalSeparator;
    {
        TFormatSettings s = FormatSettings();
        s.DecimalSeparator = before == ',' ? '.' : ',';
        TFormatSettingsScope scope(s);
        EXPECT_NE(FormatSettings().DecimalSeparator, before);
    }
    EXPECT_EQ(FormatSettings().DecimalSeparator, before);
}

}  // namespace
}  // namespace tabrix
