#pragma once
// --param and --connection of tabrix run: values given on the command line
// that replace what the form file holds, so that one form runs for another
// period or against another database.
//
//   tabrix run sales.tfm --param from=2026-02-01 --param Orders.to=2026-02-28
//   tabrix run sales.tfm --connection Db=prod.db
//   tabrix run sales.tfm --connection Pg='host=db dbname=sales password=...'

#include <string>
#include <vector>

#include "platform/classes/component.h"

namespace tabrix::cli {

// "NAME=VALUE" or "Query.NAME=VALUE". The value keeps its text until the
// parameter's type reads it (ApplyParams).
struct TParamSetting {
    std::string Query;  // empty: every query that has the parameter
    std::string Name;
    std::string Value;
    std::string Given;  // as written, for the messages
};

// "Connection=VALUE": a database file for a SQLite connection, a libpq
// connection string for a PostgreSQL one.
struct TConnectionSetting {
    std::string Connection;
    std::string Value;
};

// Raise EUsageError when the text is not NAME=VALUE (no "=", an empty or
// ill-formed name; a connection's value must not be empty either).
TParamSetting ParseParamSetting(const std::string& given);
TConnectionSetting ParseConnectionSetting(const std::string& given);

// Sets each parameter on the queries (TSQLQuery) of the module that have
// it, typed as the parameter's type reads it: the type of the value the
// form gives it in Params (a number with ".", an ISO date, date and time or
// time, true/false, else text); without one, the type the text itself
// shows. Raises EUsageError naming the setting for an unknown query, a
// parameter no query has, and a value its type cannot read.
void ApplyParams(TComponent& module, const std::vector<TParamSetting>& settings);

// Replaces the database of each named connection; a SQLite file name is
// taken from the current folder. Raises EUsageError for a name that is no
// connection of the module, without quoting the value (it may hold a
// password). Passwords of every PostgreSQL connection of the module are
// remembered so that no message shows them (secrets.h).
void ApplyConnections(TComponent& module, const std::vector<TConnectionSetting>& settings);

}  // namespace tabrix::cli
