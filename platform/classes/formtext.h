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
inline constexpr int kFormMaxNesting = 64;  // objects, lists and collections inside each other
// Bytes of one binary value: the largest workbook a report can carry in its
// form (a stored template). The form's own limit follows from it, so that
// every form that can be written can be read.
inline constexpr size_t kFormMaxBinarySize = size_t{64} << 20;
// Bytes of one form file: a binary value takes two hex digits a byte, in
// lines of 32 bytes whose break and indentation stay below 32 characters
// (15 levels deep): at most three characters a byte; 16 MiB for the rest.
// Saving refuses a form that would be larger.
inline constexpr size_t kFormMaxTextSize = 3 * kFormMaxBinarySize + (size_t{16} << 20);

// Parses form text into values. A syntax error raises EParserError
// "<fileName>, line <n>: <what was expected> expected but <what> found".
TFormValues ObjectTextToValues(std::string_view text, const std::string& fileName);
// Prints values as form text (two blanks of indentation per level).
std::string ObjectValuesToText(const TFormValues& values);

}  // namespace tabrix
