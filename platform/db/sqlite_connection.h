#pragma once
// TSQLiteConnection: an SQLite database file. A relative Database name is
// taken from the application folder (ExpandApplicationFileName); a missing
// file is an error, never silently created.

#include <string>

#include "platform/db/sql_connection.h"
#include "platform/db/sqlite_handle.h"

namespace tabrix {

class TSQLiteConnection : public TSQLConnection {
    TABRIX_CLASS(TSQLiteConnection)
public:
    explicit TSQLiteConnection(TComponent* owner = nullptr);
    ~TSQLiteConnection() override;

    const std::string& Database() const { return FDatabase; }
    void SetDatabase(const std::string& name);
    // The file actually opened.
    std::string FileName() const;

    std::string DatabaseName() const override;
    TParamStyle ParamStyle() const override { return TParamStyle::QuestionNumber; }
    std::unique_ptr<TSqlCommand> Prepare(const std::string& sql, const std::string& shownSql,
                                         const std::string& dataSetName) override;

    // Runs statements that return no records (set-up, tests); raises on error.
    void ExecSQL(const std::string& sql);

protected:
    void DoConnect() override;
    void DoDisconnect() override;

private:
    std::string FDatabase;
    sqlite::DatabaseHandle FDb;
};

}  // namespace tabrix
