#include "platform/db/sql_params.h"

#include "platform/rtl/ascii.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || ascii::IsDigit(c); }

// Index just past a quoted run that starts at i with the quote character q
// (a doubled quote stays inside).
size_t SkipQuoted(std::string_view s, size_t i, char q) {
    ++i;
    while (i < s.size()) {
        if (s[i] == q) {
            if (i + 1 < s.size() && s[i + 1] == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

}  // namespace

TParsedSql ParseSqlParams(std::string_view sql, TParamStyle style) {
    TParsedSql out;
    out.Text.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        size_t next = i + 1;
        if (c == '\'' || c == '"' || c == '`') {
            next = SkipQuoted(sql, i, c);
        } else if (c == '[' && style == TParamStyle::QuestionNumber) {  // SQLite's [identifier]
            const size_t close = sql.find(']', i);
            next = close == std::string_view::npos ? sql.size() : close + 1;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t eol = sql.find('\n', i);
            next = eol == std::string_view::npos ? sql.size() : eol;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            next = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            next = i + 2;
        } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
            size_t e = i + 1;
            while (e < sql.size() && IsNameChar(sql[e])) ++e;
            const std::string_view name = sql.substr(i + 1, e - i - 1);
            size_t pos = 0;
            while (pos < out.ParamNames.size() && !SameText(out.ParamNames[pos], name)) ++pos;
            if (pos == out.ParamNames.size()) out.ParamNames.emplace_back(name);
            out.Text += style == TParamStyle::QuestionNumber ? '?' : '$';
            out.Text += std::to_string(pos + 1);
            i = e;
            continue;
        }
        out.Text.append(sql.substr(i, next - i));
        i = next;
    }
    return out;
}

}  // namespace tabrix
