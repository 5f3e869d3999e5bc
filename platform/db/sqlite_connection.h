#pragma once
// TSQLiteConnection: an SQLite database file. A relative Database name is
// taken from the application folder (ExpandApplicationFileName); a missing
// file is an error, never silently created.

#include <string>

#include "platform/db/sql_connection.h"
#include "platform/db/sqlite_handle.h"

namespace tabrix {

class TSQLiteConnection : public TSQLConnectionOn<sqlite::DatabaseHandle> {
    TABRIX_CLASS(TSQLiteConnection)
public:
    explicit TSQLiteConnection(TComponent* owner = nullptr);

    const std::string& Database() const { return FDatabase; }
    void SetDatabase(const std::string& name);
    // The file actually opened.
    std::string FileName() const;

    std::string DatabaseName() const override;

protected:
    void DoConnect() override;
    std::unique_ptr<TSqlCommand> DoPrepare(const std::string& sql, TSqlErrorContext context) override;

private:
    std::string FDatabase;
};

}  // namespace tabrix
