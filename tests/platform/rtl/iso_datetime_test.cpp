#include "platform/rtl/iso_datetime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tabrix {
namespace {

TEST(IsoDateTime, ReadsTheFormsDatabasesWrite) {
    TDateTime v = 0;
    ASSERT_TRUE(TryParseIsoDate("2024-02-29", v));
    EXPECT_EQ(v, EncodeDate(2024, 2, 29));
    ASSERT_TRUE(TryParseIsoDateTime("2024-01-31 13:45:30", v));
    EXPECT_DOUBLE_EQ(v, EncodeDate(2024, 1, 31) + EncodeTime(13, 45, 30, 0));
    ASSERT_TRUE(TryParseIsoDateTime("2024-01-31T13:45:30.25Z", v));
    EXPECT_DOUBLE_EQ(v, EncodeDate(2024, 1, 31) + EncodeTime(13, 45, 30, 250));
    // PostgreSQL: microseconds and a zone offset.
    ASSERT_TRUE(TryParseIsoDateTime("2024-01-31 13:45:30.123456+01", v));
    EXPECT_DOUBLE_EQ(v, EncodeDate(2024, 1, 31) + EncodeTime(13, 45, 30, 123));
    ASSERT_TRUE(TryParseIsoTime("08:05", v));
    EXPECT_DOUBLE_EQ(v, EncodeTime(8, 5, 0, 0));
    ASSERT_TRUE(TryParseIsoDateTime("2024-01-31", v)) << "a date alone is midnight";
    EXPECT_EQ(v, EncodeDate(2024, 1, 31));
}

TEST(IsoDateTime, RefusesWhatIsNoDate) {
    TDateTime v = 0;
    for (const char* bad : {"2023-02-29", "2024-13-01", "24-01-31", "2024/01/31", "2024-01-31x", "", "infinity",
                            "2024-01-31 25:00", "2024-01-31 10:00:00+1x"})
        EXPECT_FALSE(TryParseIsoDateTime(bad, v)) << bad;
    EXPECT_FALSE(TryParseIsoDate("2024-01-31 10:00", v)) << "a date field keeps dates only";
    EXPECT_FALSE(TryParseIsoTime("10", v));
}

TEST(IsoDateTime, TextReadsBackAsTheSameValue) {
    const TDateTime d = EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 7);
    EXPECT_EQ(IsoDateTimeText(d), "1999-12-31 23:59:58.007");
    TDateTime back = 0;
    ASSERT_TRUE(TryParseIsoDateTime(IsoDateTimeText(d), back));
    EXPECT_NEAR(back, d, 1e-9);
    EXPECT_EQ(IsoTimeText(EncodeTime(7, 0, 0, 0)), "07:00:00");
}

// The parts reader under every form it takes; the expected parts are those of
// the text, the fraction with all its digits.
TEST(IsoDateTime, PartsOfTheValidForms) {
    struct TCase {
        const char* Text;
        TIsoForm Form;
        int Year, Month, Day, Hour, Minute, Second, Millisecond;
        double Fraction;
        bool HasTime;
    };
    const TCase cases[] = {
        {"2024-02-29", TIsoForm::Date, 2024, 2, 29, 0, 0, 0, 0, 0, false},
        {"0001-01-01", TIsoForm::Date, 1, 1, 1, 0, 0, 0, 0, 0, false},
        {"9999-12-31", TIsoForm::DateTime, 9999, 12, 31, 0, 0, 0, 0, 0, false},
        {"2024-03-01T12:30", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 0, 0, 0, true},
        {"2024-03-01t12:30:05", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 5, 0, 0, true},
        {"2024-03-01 23:59:59.9999", TIsoForm::DateTime, 2024, 3, 1, 23, 59, 59, 999, 0.9999, true},
        {"2024-03-01T00:00:00,5", TIsoForm::DateTime, 2024, 3, 1, 0, 0, 0, 500, 0.5, true},
        {"2024-03-01T12:30:00Z", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 0, 0, 0, true},
        {"2024-03-01T12:30z", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 0, 0, 0, true},
        {"2024-03-01 12:30:00.123456-05:30", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 0, 123, 0.123456, true},
        {"2024-03-01 12:30+0100", TIsoForm::DateTime, 2024, 3, 1, 12, 30, 0, 0, 0, true},
        {"00:00", TIsoForm::Time, 0, 0, 0, 0, 0, 0, 0, 0, true},
        {"23:59:59.999999999999999999", TIsoForm::Time, 0, 0, 0, 23, 59, 59, 999, 0.999999999999999, true},
        {"07:08:09+02", TIsoForm::Time, 0, 0, 0, 7, 8, 9, 0, 0, true},
    };
    for (const TCase& c : cases) {
        TIsoDateTime p;
        ASSERT_TRUE(TryReadIsoDateTime(c.Text, c.Form, p)) << c.Text;
        EXPECT_EQ(p.Year, c.Year) << c.Text;
        EXPECT_EQ(p.Month, c.Month) << c.Text;
        EXPECT_EQ(p.Day, c.Day) << c.Text;
        EXPECT_EQ(p.Hour, c.Hour) << c.Text;
        EXPECT_EQ(p.Minute, c.Minute) << c.Text;
        EXPECT_EQ(p.Second, c.Second) << c.Text;
        EXPECT_EQ(p.Millisecond, c.Millisecond) << c.Text;
        EXPECT_DOUBLE_EQ(p.Fraction, c.Fraction) << c.Text;
        EXPECT_EQ(p.HasDate, c.Form != TIsoForm::Time) << c.Text;
        EXPECT_EQ(p.HasTime, c.HasTime) << c.Text;
    }
}

TEST(IsoDateTime, InvalidFormsAndLimitsLeaveThePartsAsTheyWere) {
    struct TCase {
        const char* Text;
        TIsoForm Form;
    };
    const TCase cases[] = {
        {"0000-01-01", TIsoForm::Date},             // year 1 is the first
        {"10000-01-01", TIsoForm::DateTime},        // four digits only
        {"2024-00-10", TIsoForm::Date},             // month 1..12
        {"2024-04-31", TIsoForm::Date},             // April has 30 days
        {"2024-3-01", TIsoForm::Date},              // two-digit month
        {"2024-03-01xyz", TIsoForm::DateTime},      // nothing may follow
        {"2024-03-01T", TIsoForm::DateTime},        // a separator wants a time
        {"2024-03-01T12", TIsoForm::DateTime},      // minutes are needed
        {"2024-03-01T12:30:", TIsoForm::DateTime},  // seconds after a colon
        {"2024-03-01T12:30:00.", TIsoForm::DateTime},
        {"2024-03-01T24:00:00", TIsoForm::DateTime},  // 24-hour clock ends at 23:59:59
        {"2024-03-01T12:60", TIsoForm::DateTime},
        {"2024-03-01T12:30:60", TIsoForm::DateTime},
        {"2024-03-01T12:30:00+1", TIsoForm::DateTime},
        {"2024-03-01T12:30:00+01:", TIsoForm::DateTime},
        {"2024-03-01T12:30:00+01:00x", TIsoForm::DateTime},
        {"2024-03-01T12:30:00ZZ", TIsoForm::DateTime},
        {"2024-03-01T12:30:00 ", TIsoForm::DateTime},
        {"2024-03-01Z", TIsoForm::DateTime},  // a zone belongs to a time
        {"2024-03-01 12:00", TIsoForm::Date},
        {"2024-03-01", TIsoForm::Time},
        {"12:00", TIsoForm::Date},
        {" 12:00", TIsoForm::Time},
        {"", TIsoForm::DateTime},
        {"", TIsoForm::Time},
    };
    for (const TCase& c : cases) {
        TIsoDateTime p;
        p.Year = -7;
        EXPECT_FALSE(TryReadIsoDateTime(c.Text, c.Form, p)) << c.Text;
        EXPECT_EQ(p.Year, -7) << c.Text;
    }
}

TEST(IsoDateTime, SecondsOfDayKeepTheWholeFraction) {
    TIsoDateTime p;
    ASSERT_TRUE(TryReadIsoDateTime("2024-03-01T12:30:05.1234", TIsoForm::DateTime, p));
    EXPECT_DOUBLE_EQ(p.SecondsOfDay(), 12 * 3600 + 30 * 60 + 5.1234);
    TDateTime cut = 0;
    ASSERT_TRUE(TryParseIsoDateTime("2024-03-01T12:30:05.1239", cut));
    EXPECT_DOUBLE_EQ(cut, EncodeDate(2024, 3, 1) + EncodeTime(12, 30, 5, 123)) << "to the millisecond, cut off";
    TDateTime early = 0;
    ASSERT_TRUE(TryParseIsoDateTime("1899-12-29 06:00", early));
    EXPECT_DOUBLE_EQ(early, -1.25) << "before day 0 the time counts away from zero";
}

}  // namespace
}  // namespace tabrix
