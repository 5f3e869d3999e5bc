#pragma once
// Owning handles of libpq: a connection and a result.

#include <memory>
#include <string>

#include <libpq-fe.h>

namespace tabrix::pg {

struct ConnectionCloser {
    void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
struct ResultClearer {
    void operator()(PGresult* res) const noexcept { PQclear(res); }
};
using ConnectionHandle = std::unique_ptr<PGconn, ConnectionCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

// The server's message without libpq's trailing line break.
std::string ErrorText(const PGconn* conn);
std::string ErrorText(const PGresult* res);

// Runs statements that return no records, one or more; false and error
// set on failure.
bool ExecScript(const ConnectionHandle& conn, const std::string& sql, std::string& error);

}  // namespace tabrix::pg
