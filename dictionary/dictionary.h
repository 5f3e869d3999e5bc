#pragma once
// Unit TabrixDictionary: user fields, names with fixed text values defined on
// the report component ("Dictionary"). A template's field reference is looked
// up here first; names found are user fields whose value is their text.

#include <string_view>

#include "platform/classes/collection.h"
#include "platform/classes/component.h"
#include "platform/rtl/strings.h"

namespace tabrix {

class TTabrixField : public TCollectionItem {
    TABRIX_CLASS(TTabrixField)
public:
    explicit TTabrixField(TCollection* collection = nullptr) : TCollectionItem(collection) {}

    const AnsiString& FieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& value) { FFieldName = value; }
    const AnsiString& ValueAsString() const { return FValueAsString; }
    void SetValueAsString(const AnsiString& value) { FValueAsString = value; }

    // FieldName, unchanged.
    std::string GetDisplayName() const override { return FFieldName; }
    // Takes over another field's name and value.
    void Assign(const TPersistent* source) override;

private:
    AnsiString FFieldName;
    AnsiString FValueAsString;
};

class TTabrixDictionary : public TCollection {
    TABRIX_CLASS(TTabrixDictionary)
public:
    explicit TTabrixDictionary(TComponent* owner);

    TComponent* Owner() const { return FOwner; }
    TTabrixField* Add() { return static_cast<TTabrixField*>(TCollection::Add()); }
    TTabrixField* GetItem(int index) const { return static_cast<TTabrixField*>(Items(index)); }
    void SetItem(int index, const TTabrixField* field) { TCollection::SetItem(index, field); }

    // The first field whose name equals Name ignoring case (locale-aware, no
    // trimming), or none.
    TTabrixField* FindField(std::string_view name) const;
    // FindField, or ETabrixError "The field "<Name>" is not found in the dictionary. ".
    TTabrixField* FieldByName(std::string_view name) const;

private:
    TComponent* FOwner;
};

}  // namespace tabrix
