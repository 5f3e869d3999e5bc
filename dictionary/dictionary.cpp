#include "dictionary/dictionary.h"

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"

namespace tabrix {

const TClassInfo& TTabrixField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTabrixField, TCollectionItem>("TTabrixField")
            .String("FieldName", &TTabrixField::FieldName, &TTabrixField::SetFieldName)
            .String("ValueAsString", &TTabrixField::ValueAsString, &TTabrixField::SetValueAsString)
            .Build();
    return info;
}

void TTabrixField::Assign(const TPersistent* source) {
    if (auto* src = dynamic_cast<const TTabrixField*>(source)) {
        FFieldName = src->FFieldName;
        FValueAsString = src->FValueAsString;
        Changed(false);
        return;
    }
    TCollectionItem::Assign(source);
}

const TClassInfo& TTabrixDictionary::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixDictionary, TCollection>("TTabrixDictionary").Build();
    return info;
}

TTabrixDictionary::TTabrixDictionary(TComponent* owner)
    : TCollection(TTabrixField::StaticClassInfo(), owner), FOwner(owner) {}

TTabrixField* TTabrixDictionary::FindField(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        TTabrixField* field = GetItem(i);
        if (AnsiCompareText(field->FieldName(), name) == 0) return field;
    }
    return nullptr;
}

TTabrixField* TTabrixDictionary::FieldByName(std::string_view name) const {
    TTabrixField* field = FindField(name);
    if (!field) throw ETabrixError(Format(SDictFieldNotFound, {name}));
    return field;
}

}  // namespace tabrix
