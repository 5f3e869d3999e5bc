#pragma once
// The data layer's error texts, one place for all of them. Every text names
// its source: the data set (as "Name: ..."), the field, the SQL and the
// database, or the file with line and column.

#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"

namespace tabrix::db_errors {

// "<component>: <message>", or the message alone for an unnamed component.
[[noreturn]] void DatabaseError(std::string_view component, std::string_view message);

[[noreturn]] void FieldNotFound(std::string_view dataSet, std::string_view field);
[[noreturn]] void DataSetClosed(std::string_view dataSet);
[[noreturn]] void DataSetOpen(std::string_view dataSet, std::string_view what);
[[noreturn]] void NoConnection(std::string_view dataSet);
[[noreturn]] void NoSql(std::string_view dataSet);
[[noreturn]] void CircularLink(std::string_view dataSet);
[[noreturn]] void FieldAccess(std::string_view dataSet, std::string_view field, std::string_view fieldType,
                              std::string_view asType);
// A conversion of a field's text failed: EConvertError naming the field.
[[noreturn]] void FieldConvert(std::string_view dataSet, std::string_view field, const Exception& cause);
[[noreturn]] void BadValue(std::string_view dataSet, std::string_view field, std::string_view typeName,
                           std::string_view value);

[[noreturn]] void DatabaseMissing(std::string_view connection, std::string_view fileName);
[[noreturn]] void DatabaseOpen(std::string_view connection, std::string_view database, std::string_view reason);
[[noreturn]] void SqlError(std::string_view dataSet, std::string_view database, std::string_view reason,
                           std::string_view sql);
[[noreturn]] void ParamNoValue(std::string_view dataSet, std::string_view param);

// A data file that cannot be read: line and column are 1-based.
[[noreturn]] void FileFormat(std::string_view dataSet, std::string_view fileName, size_t line, size_t column,
                             std::string_view reason);
[[noreturn]] void FileContent(std::string_view dataSet, std::string_view fileName, std::string_view reason);

}  // namespace tabrix::db_errors
