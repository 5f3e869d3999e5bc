#include "platform/db/pg_handle.h"

#include "platform/rtl/strings.h"

namespace tabrix::pg {

std::string ErrorText(const PGconn* conn) { return TrimRight(PQerrorMessage(conn)); }

std::string ErrorText(const PGresult* res) { return TrimRight(PQresultErrorMessage(res)); }

}  // namespace tabrix::pg
