#pragma once
// ":name" parameters of an SQL text. The text is rewritten into the
// positional form of the database ("?1" for SQLite, "$1" for PostgreSQL);
// a name used twice takes one position. Quoted texts, quoted identifiers,
// comments and PostgreSQL's "::" casts are left alone.

#include <string>
#include <string_view>
#include <vector>

namespace tabrix {

enum class TParamStyle { QuestionNumber, DollarNumber };

struct TParsedSql {
    std::string Text;                     // with positional placeholders
    std::vector<std::string> ParamNames;  // position i+1 is ParamNames[i], as first written
};

TParsedSql ParseSqlParams(std::string_view sql, TParamStyle style);

}  // namespace tabrix
