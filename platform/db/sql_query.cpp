#include "platform/db/sql_query.h"

#include "platform/db/db_errors.h"
#include "platform/rtl/strings.h"

namespace tabrix {

const TClassInfo& TSQLQuery::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TSQLQuery, TDataSet>("TSQLQuery")
                                       .Component("Connection", &TSQLQuery::Connection, &TSQLQuery::SetConnection)
                                       .Component("DataSource", &TSQLQuery::DataSource, &TSQLQuery::SetDataSource)
                                       .Object("SQL", &TSQLQuery::SQL)
                                       .Object("Params", &TSQLQuery::Params)
                                       .Build();
    return info;
}

TSQLQuery::TSQLQuery(TComponent* owner) : TDataSet(owner) {
    FSQL->OnChange = [this](TStrings*) { SqlChanged(); };
    FParams->OnChange = [this](TStrings*) {
        if (Active()) Refresh();
    };
}

TSQLQuery::~TSQLQuery() {
    // The records' source reads through the compiled statement: close first.
    Close();
    FCommand.reset();
    if (FConnection) FConnection->RemoveQuery(this);
    FSQL->OnChange = nullptr;
    FParams->OnChange = nullptr;
}

void TSQLQuery::SetConnection(TSQLConnection* connection) {
    if (connection == FConnection) return;
    Close();
    FCommand.reset();
    if (FConnection) FConnection->RemoveQuery(this);
    FConnection = connection;
    if (FConnection) FConnection->AddQuery(this);
}

void TSQLQuery::SqlChanged() {
    Close();
    FCommand.reset();
}

void TSQLQuery::ConnectionClosing() {
    Close();
    FCommand.reset();
}

void TSQLQuery::ConnectionDestroying(TSQLConnection& connection) {
    if (&connection != FConnection) return;
    Close();
    FCommand.reset();
    FConnection = nullptr;
}

std::vector<std::string> TSQLQuery::ParamNames() const {
    return ParseSqlParams(FSQL->Text(), TParamStyle::QuestionNumber).ParamNames;
}

void TSQLQuery::SetParamValue(const std::string& name, const Variant& value) {
    if (value.IsEmpty())
        FParamValues.erase(AnsiUpperCase(name));
    else
        FParamValues[AnsiUpperCase(name)] = value;
    if (Active()) Refresh();
}

std::vector<Variant> TSQLQuery::ParamValues() const {
    std::vector<Variant> values;
    values.reserve(FParsed.ParamNames.size());
    for (const std::string& name : FParsed.ParamNames) {
        auto it = FParamValues.find(AnsiUpperCase(name));
        if (it != FParamValues.end()) {
            values.push_back(it->second);
            continue;
        }
        bool listed = false;
        for (int i = 0; i < FParams->Count() && !listed; ++i)
            if (AnsiSameText(Trim(FParams->Names(i)), name)) {
                const std::string& line = FParams->Strings(i);
                values.emplace_back(AnsiString(line.substr(line.find('=') + 1)));
                listed = true;
            }
        if (listed) continue;
        if (!DataSource()) db_errors::ParamNoValue(Name(), name);
        TDataSet* master = MasterDataSet();
        if (!master || !master->Active() || master->IsEmpty()) {
            values.push_back(Variant::Null());  // no master record: no details
            continue;
        }
        TField* field = master->FindField(name);
        if (!field) db_errors::ParamNoValue(Name(), name);
        values.push_back(field->Value());
    }
    return values;
}

void TSQLQuery::InternalOpen() {
    if (!FConnection) db_errors::NoConnection(Name());
    if (Trim(FSQL->Text()).empty()) db_errors::NoSql(Name());
    FConnection->Open();
    if (!FCommand) {
        FParsed = ParseSqlParams(FSQL->Text(), FConnection->ParamStyle());
        FCommand = FConnection->Prepare(FParsed.Text, TrimRight(FSQL->Text()), Name());
    }
    const std::vector<Variant> values = ParamValues();
    TRecordStore store;
    std::unique_ptr<TRecordSource> source;
    FCommand->Execute(values, store, source);
    ShowSource(std::move(store), std::move(source));
}

void TSQLQuery::MasterChanged(TDataEvent) {
    if (!Active()) return;
    if (!FConnection || FConnection->Closing())
        Close();  // the connection goes: no new statements
    else
        Refresh();
}

}  // namespace tabrix
