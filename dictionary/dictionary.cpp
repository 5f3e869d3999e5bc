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

void TTabrixField::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TTabrixField*>(Source)) {
        FFieldName = src->FFieldName;
        FValueAsString = src->FValueAsString;
        Changed(false);
        return;
    }
    TCollectionItem::Assign(Source);
}

const TClassInfo& TTabrixDictionary::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixDictionary, TCollection>("TTabrixDictionary").Build();
    return info;
}

TTabrixDictionary::TTabrixDictionary(TComponent* Owner)
    : TCollection(TTabrixField::StaticClassInfo(), Owner), FOwner(Owner) {}

TTabrixField* TTabrixDictionary::FindField(std::string_view Name) const {
    for (int i = 0; i < Count(); ++i) {
        TTabrixField* field = GetItem(i);
        if (AnsiCompareText(field->FieldName(), Name) == 0) return field;
    }
    return nullptr;
}

TTabrixField* TTabrixDictionary::FieldByName(std::string_view Name) const {
    TTabrixField* field = FindField(Name);
    if (!field) throw ETabrixError(Format(SDictFieldNotFound, {Name}));
    return field;
}

}  // namespace tabrix
