#pragma once
// The form file: the readable text form of a stream of values.
//
//   object SalesModule: TDataModule
//     object Orders: TSQLQuery
//       Connection = Db
//       SQL.Strings = (
//         'select * from orders')
//       Fields = <
//         item
//           FieldName = 'Qty'
//         end>
//       Blob = {
//         0A1B2C}
//     end
//   end
//
// Values: integers (-12, $FF), floats (1.5, 2E-3), strings ('it''s', #13,
// joined by "+" across lines), identifiers (True, False, nil, enumeration
// values, component and method names), sets ([a, b]), lists ( ... ),
// collections < item ... end >, binary { hex }. Keywords ignore case; a line
// may end with a "//" comment.

#include <string>
#include <string_view>

#include "platform/classes/filer.h"

namespace tabrix {

// Limits that hold against hostile files.
inline constexpr int kFormMaxNesting = 64;             // objects, lists and collections inside each other
inline constexpr size_t kFormMaxTextSize = 64u << 20;  // bytes of one form file

// Parses form text into values. A syntax error raises EParserError
// "<fileName>, line <n>: <what was expected> expected but <what> found".
TFormValues ObjectTextToValues(std::string_view text, const std::string& fileName);
// Prints values as form text (two blanks of indentation per level).
std::string ObjectValuesToText(const TFormValues& values);

}  // namespace tabrix
