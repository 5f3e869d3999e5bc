#pragma once
// Data access: data sets over SQLite, PostgreSQL, CSV and JSON files.
//
//   TSQLiteConnection / TPgConnection   a database
//   TSQLQuery                           the result of an SQL text on one
//   TMemTable                           a CSV or JSON file in memory
//   TDataSource                         what detail data sets link to
//   TField / TDataSetField              the columns of a data set
//
// Form files create them by class name once RegisterDbClasses() has run:
//
//   object Db: TSQLiteConnection
//     Database = 'sales.db'
//   end
//   object Orders: TSQLQuery
//     Connection = Db
//     SQL.Strings = ('select * from orders order by region')
//   end

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/field.h"
#include "platform/db/mem_table.h"
#include "platform/db/pg_connection.h"
#include "platform/db/sql_query.h"
#include "platform/db/sqlite_connection.h"

namespace tabrix {

// Makes the data classes known to the class registry (FindClass), so that
// form files can create them; calling it again does no harm.
void RegisterDbClasses();

}  // namespace tabrix
