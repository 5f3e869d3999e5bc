#pragma once
// Small component classes shared by the framework tests: a connection, a
// query referring to it, and a report-like component with a sub-object and
// a collection, covering every kind of published property.

#include <memory>
#include <string>

#include "platform/classes/classes.h"

namespace tabrix::testing {

enum class TQueryKind { qkTable, qkView, qkProc };
enum TQueryOption { qoUnique = 0, qoReadOnly = 1, qoCached = 2 };

extern const TEnumInfo QueryKindInfo;
extern const TEnumInfo QueryOptionInfo;

class TTestConnection : public TComponent {
    TABRIX_CLASS(TTestConnection)
public:
    explicit TTestConnection(TComponent* owner = nullptr) : TComponent(owner) {}
    std::string Database;
};

class TTestQuery : public TComponent {
    TABRIX_CLASS(TTestQuery)
public:
    explicit TTestQuery(TComponent* owner = nullptr) : TComponent(owner) {}
    TTestConnection* Connection() const { return FConnection; }
    void SetConnection(TTestConnection* value) {
        FConnection = value;
        if (value) FreeNotification(value);
    }
    TTestQuery* MasterQuery() const { return FMaster; }
    void SetMasterQuery(TTestQuery* value) { FMaster = value; }
    TStringList* SQL() const { return FSQL.get(); }

    int MaxRows = 0;
    double Ratio = 0;
    bool Active = false;
    TQueryKind Kind = TQueryKind::qkTable;
    uint32_t Options = 0;
    TEvent<void(TComponent* Sender, int& Rows)> OnOpen;
    int LoadedCalls = 0;
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }

private:
    TTestConnection* FConnection = nullptr;
    TTestQuery* FMaster = nullptr;
    std::unique_ptr<TStringList> FSQL = std::make_unique<TStringList>();
};

class TTestField : public TCollectionItem {
    TABRIX_CLASS(TTestField)
public:
    explicit TTestField(TCollection* c = nullptr) : TCollectionItem(c) {}
    std::string FieldName;
    int Width = 10;
    std::string GetDisplayName() const override { return FieldName; }
    void Assign(const TPersistent* source) override {
        if (auto* f = dynamic_cast<const TTestField*>(source)) {
            FieldName = f->FieldName;
            Width = f->Width;
            return;
        }
        TCollectionItem::Assign(source);
    }
};

// A sub-object with its own published value and a defined binary value.
class TTestOptions : public TPersistent {
    TABRIX_CLASS(TTestOptions)
public:
    std::string Title;
    std::string Blob;
    void DefineProperties(TFiler& filer) override;
};

class TTestReport : public TComponent {
    TABRIX_CLASS(TTestReport)
public:
    explicit TTestReport(TComponent* owner = nullptr)
        : TComponent(owner), FFields(TTestField::StaticClassInfo(), this) {}
    TTestQuery* DataSet() const { return FDataSet; }
    void SetDataSet(TTestQuery* value) {
        FDataSet = value;
        if (value) FreeNotification(value);
    }
    TCollection* Fields() const { return const_cast<TCollection*>(&FFields); }
    TTestOptions* Options() const { return FOptions.get(); }

private:
    TTestQuery* FDataSet = nullptr;
    TCollection FFields;
    std::unique_ptr<TTestOptions> FOptions = std::make_unique<TTestOptions>();
};

void RegisterTestClasses();

}  // namespace tabrix::testing
