#include "tests/platform/db/test_support.h"
#include "tests/support/test_support.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace tabrix::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tabrix-db-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern + "/";
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out << content;
    return file;
}

void MakeSqliteDatabase(const std::string& fileName, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(fileName.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + fileName);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("test database: " + message);
}

std::unique_ptr<TComponent> MakeRoot() {
    auto root = std::make_unique<TComponent>();
    root->SetName("Root");
    return root;
}

std::vector<std::string> WalkLikeReport(TDataSet& dataSet, const std::string& field) {
    std::vector<std::string> seen;
    dataSet.First();
    if (dataSet.Eof()) {
        EXPECT_TRUE(dataSet.Bof()) << "an empty data set is at Bof too";
        return seen;
    }
    EXPECT_TRUE(dataSet.Bof());
    while (!dataSet.Eof()) {
        seen.push_back(dataSet.FieldByName(field)->AsString());
        dataSet.Next();
    }
    EXPECT_FALSE(dataSet.Bof());
    // Eof leaves the last record current.
    EXPECT_EQ(dataSet.FieldByName(field)->AsString(), seen.back());
    dataSet.Prior();
    EXPECT_FALSE(dataSet.Eof());
    seen.push_back("<" + dataSet.FieldByName(field)->AsString());
    dataSet.Next();
    seen.push_back(">" + dataSet.FieldByName(field)->AsString());
    dataSet.Next();
    EXPECT_TRUE(dataSet.Eof());
    return seen;
}

std::vector<std::string> MasterDetailLines(TDataSet& master, const std::string& key, TDataSet& detail,
                                           const std::string& field) {
    std::vector<std::string> lines;
    for (master.First(); !master.Eof(); master.Next()) {
        std::string line = master.FieldByName(key)->AsString() + ":";
        for (detail.First(); !detail.Eof(); detail.Next()) line += " " + detail.FieldByName(field)->AsString();
        lines.push_back(line);
    }
    return lines;
}

std::string OpenError(TDataSet& dataSet) {
    return tabrix::testing::RaisedMessage<EDatabaseError>([&] { dataSet.Open(); }, "(no error)");
}

}  // namespace tabrix::test
