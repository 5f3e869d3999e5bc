#pragma once
// Shared helpers of the data tests: a temporary folder, SQLite files made
// with the plain SQLite interface (not with the code under test), a root
// component to own what a test creates, and the report loop's walk.

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/db/db.h"

namespace tabrix::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return FPath; }  // with a trailing "/"
    std::string File(const std::string& name) const { return FPath + name; }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string FPath;
};

// Creates the database file and runs the statements in it.
void MakeSqliteDatabase(const std::string& fileName, const std::string& sql);

// Components created with this owner go when it goes.
std::unique_ptr<TComponent> MakeRoot();

template <class T>
T* Make(TComponent* owner, const std::string& name) {
    T* c = new T(owner);
    c->SetName(name);
    return c;
}

// The walk of the report loop: First, Next until Eof (recording the field's
// text at every record), then Prior and Next once each, recording those
// records too ("<" before the value after Prior, ">" after Next), and
// checking the flags at every step. Returns the recorded texts.
std::vector<std::string> WalkLikeReport(TDataSet& dataSet, const std::string& field);

// Master and detail walked as the report loop walks them: one line per
// master record, "<key>: <detail field> <detail field>...".
std::vector<std::string> MasterDetailLines(TDataSet& master, const std::string& key, TDataSet& detail,
                                           const std::string& field);

// The message of the EDatabaseError that opening raises, or "(no error)".
std::string OpenError(TDataSet& dataSet);

}  // namespace tabrix::test
