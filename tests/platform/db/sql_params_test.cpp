#include "platform/db/sql_params.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tabrix {
namespace {

using ::testing::ElementsAre;

TEST(SqlParams, NamesBecomePositionsAndRepeatsShareOne) {
    const TParsedSql p =
        ParseSqlParams("select * from t where a = :Id and b > :since or a = :id", TParamStyle::DollarNumber);
    EXPECT_EQ(p.Text, "select * from t where a = $1 and b > $2 or a = $1");
    EXPECT_THAT(p.ParamNames, ElementsAre("Id", "since"));
    EXPECT_EQ(ParseSqlParams("x = :a", TParamStyle::QuestionNumber).Text, "x = ?1");
}

TEST(SqlParams, QuotesCommentsAndCastsAreLeftAlone) {
    const char* sql =
        "select ':no', \":no\", x::int, [a:b] -- :no\n"
        "/* :no */ from t where y = :yes and z = 'it''s :no'";
    const TParsedSql p = ParseSqlParams(sql, TParamStyle::QuestionNumber);
    EXPECT_THAT(p.ParamNames, ElementsAre("yes"));
    EXPECT_EQ(p.Text, std::string(sql).replace(std::string(sql).find(":yes"), 4, "?1"));
    EXPECT_THAT(ParseSqlParams("a[1:2]", TParamStyle::DollarNumber).ParamNames, ElementsAre());
}

}  // namespace
}  // namespace tabrix
