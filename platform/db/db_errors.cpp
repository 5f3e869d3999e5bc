#include "platform/db/db_errors.h"

#include <fmt/format.h>

namespace tabrix::db_errors {

void DatabaseError(std::string_view component, std::string_view message) {
    if (component.empty()) throw EDatabaseError(std::string(message));
    throw EDatabaseError(fmt::format("{}: {}", component, message));
}

void FieldNotFound(std::string_view dataSet, std::string_view field) {
    DatabaseError(dataSet, fmt::format("Field '{}' not found", field));
}

void DataSetClosed(std::string_view dataSet) {
    DatabaseError(dataSet, "Cannot perform this operation on a closed dataset");
}

void DataSetOpen(std::string_view dataSet, std::string_view what) {
    DatabaseError(dataSet, fmt::format("Cannot change {} of an open dataset", what));
}

void NoConnection(std::string_view dataSet) { DatabaseError(dataSet, "No connection assigned"); }

void NoSql(std::string_view dataSet) { DatabaseError(dataSet, "The SQL text is empty"); }

void CircularLink(std::string_view dataSet) { DatabaseError(dataSet, "Circular data link is not allowed"); }

void FieldAccess(std::string_view dataSet, std::string_view field, std::string_view fieldType,
                 std::string_view asType) {
    DatabaseError(dataSet, fmt::format("Field '{}' of type {} cannot be read as {}", field, fieldType, asType));
}

void FieldConvert(std::string_view dataSet, std::string_view field, const Exception& cause) {
    throw EConvertError(fmt::format("{}: Field '{}': {}", dataSet, field, cause.Message()));
}

void BadValue(std::string_view dataSet, std::string_view field, std::string_view typeName, std::string_view value) {
    DatabaseError(dataSet, fmt::format("Field '{}': '{}' is not a valid {} value", field, value, typeName));
}

void DatabaseMissing(std::string_view connection, std::string_view fileName) {
    DatabaseError(connection, fmt::format("Database file \"{}\" does not exist", fileName));
}

void DatabaseOpen(std::string_view connection, std::string_view database, std::string_view reason) {
    DatabaseError(connection, fmt::format("Cannot open database \"{}\": {}", database, reason));
}

void SqlError(std::string_view dataSet, std::string_view database, std::string_view reason, std::string_view sql) {
    DatabaseError(dataSet, fmt::format("SQL error in database \"{}\": {}\nSQL: {}", database, reason, sql));
}

void ParamNoValue(std::string_view dataSet, std::string_view param) {
    DatabaseError(dataSet, fmt::format("No value for parameter '{}'", param));
}

void FileFormat(std::string_view dataSet, std::string_view fileName, size_t line, size_t column,
                std::string_view reason) {
    DatabaseError(dataSet, fmt::format("File \"{}\", line {}, column {}: {}", fileName, line, column, reason));
}

void FileContent(std::string_view dataSet, std::string_view fileName, std::string_view reason) {
    DatabaseError(dataSet, fmt::format("File \"{}\": {}", fileName, reason));
}

}  // namespace tabrix::db_errors
