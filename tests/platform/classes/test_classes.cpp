#include "tests/platform/classes/test_classes.h"

namespace tabrix::testing {

const TEnumInfo QueryKindInfo("TQueryKind", {"qkTable", "qkView", "qkProc"});
const TEnumInfo QueryOptionInfo("TQueryOption", {"qoUnique", "qoReadOnly", "qoCached"});

const TClassInfo& TTestConnection::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestConnection, TComponent>("TTestConnection")
                                       .String("Database", &TTestConnection::Database, &TTestConnection::Database)
                                       .Build();
    return info;
}

const TClassInfo& TTestQuery::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestQuery, TComponent>("TTestQuery")
            .Component("Connection", &TTestQuery::Connection, &TTestQuery::SetConnection)
            .Component("MasterQuery", &TTestQuery::MasterQuery, &TTestQuery::SetMasterQuery)
            .Object("SQL", &TTestQuery::SQL)
            .Integer("MaxRows", &TTestQuery::MaxRows, &TTestQuery::MaxRows)
            .Range(0, 1000000)
            .Float("Ratio", &TTestQuery::Ratio, &TTestQuery::Ratio)
            .Boolean("Active", &TTestQuery::Active, &TTestQuery::Active, false)
            .Enumeration("Kind", &TTestQuery::Kind, &TTestQuery::Kind, QueryKindInfo, TQueryKind::qkTable)
            .Set("Options", &TTestQuery::Options, &TTestQuery::Options, QueryOptionInfo)
            .Event("OnOpen", &TTestQuery::OnOpen)
            .Build();
    return info;
}

const TClassInfo& TTestField::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestField, TCollectionItem>("TTestField")
                                       .String("FieldName", &TTestField::FieldName, &TTestField::FieldName)
                                       .Integer("Width", &TTestField::Width, &TTestField::Width, 10)
                                       .Build();
    return info;
}

const TClassInfo& TTestOptions::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestOptions, TPersistent>("TTestOptions")
                                       .String("Title", &TTestOptions::Title, &TTestOptions::Title)
                                       .Build();
    return info;
}

void TTestOptions::DefineProperties(TFiler& filer) {
    bool hasData = !Blob.empty();
    if (auto* a = dynamic_cast<const TTestOptions*>(filer.Ancestor())) hasData = a->Blob != Blob;
    filer.DefineBinaryProperty(
        "Blob", [this](const std::string& bytes) { Blob = bytes; }, [this] { return Blob; }, hasData);
}

const TClassInfo& TTestReport::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestReport, TComponent>("TTestReport")
                                       .Component("DataSet", &TTestReport::DataSet, &TTestReport::SetDataSet)
                                       .Object("Fields", &TTestReport::Fields)
                                       .Object("Options", &TTestReport::Options)
                                       .Build();
    return info;
}

void RegisterTestClasses() {
    for (const TClassInfo* info : {&TTestConnection::StaticClassInfo(), &TTestQuery::StaticClassInfo(),
                                   &TTestField::StaticClassInfo(), &TTestReport::StaticClassInfo()})
        RegisterClass(*info);
}

}  // namespace tabrix::testing
