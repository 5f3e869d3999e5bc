#include "platform/db/iso_datetime.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tabrix
