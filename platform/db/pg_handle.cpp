#include "platform/db/pg_handle.h"

#include "platform/rtl/strings.h"

namespace tabrix::pg {

std::string ErrorText(const PGconn* conn) { return TrimRight(PQerrorMessage(conn)); }

std::string ErrorText(const PGresult* res) { return TrimRight(PQresultErrorMessage(res)); }

bool ExecScript(const ConnectionHandle& conn, const std::string& sql, std::string& error) {
    ResultHandle res(PQexec(conn.get(), sql.c_str()));
    const ExecStatusType status = PQresultStatus(res.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
    error = ErrorText(res.get());
    return false;
}

}  // namespace tabrix::pg
