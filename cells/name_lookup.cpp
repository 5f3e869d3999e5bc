#include "cells/name_lookup.h"

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/application.h"
#include "platform/db/dataset.h"
#include "platform/rtl/format.h"

namespace tabrix {

void TabrixFindStrParts(const AnsiString& name, AnsiString& form, AnsiString& dataSet, AnsiString& field) {
    form.clear();
    dataSet.clear();
    size_t dot = name.find('.');
    if (dot == AnsiString::npos) {
        field = Trim(name);
        return;
    }
    auto bad = [&] { return ETabrixError(Format(SBadFieldName, {name})); };
    dataSet = name.substr(0, dot);
    if (dot + 1 == name.size()) throw bad();
    field = name.substr(dot + 1);
    if (size_t second = field.find('.'); second != AnsiString::npos) {
        form = Trim(dataSet);
        dataSet = field.substr(0, second);
        if (second + 1 == field.size()) throw bad();
        field = field.substr(second + 1);
        if (field.find('.') != AnsiString::npos) throw bad();
    }
    dataSet = Trim(dataSet);
    field = Trim(field);
}

TDataSet* TabrixFindOwnedDataSet(const TComponent* module, const AnsiString& dataSetName) {
    if (!module) return nullptr;
    TComponent* found = module->FindComponent(dataSetName);
    if (!found) return nullptr;
    auto* dataSet = dynamic_cast<TDataSet*>(found);
    if (!dataSet)
        throw EConvertError(
            Format("%s.%s is a %s, not a data set", {module->Name(), found->Name(), found->ClassName()}));
    return dataSet;
}

TDataSet* TabrixFindDSInForms(const AnsiString& formName, const AnsiString& dataSetName) {
    TApplication& app = Application();
    for (int i = 0; i < app.DataModuleCount(); ++i)
        if (AnsiCompareText(app.DataModules(i)->Name(), formName) == 0)
            return TabrixFindOwnedDataSet(app.DataModules(i), dataSetName);
    for (int i = 0; i < app.FormCount(); ++i)
        if (AnsiCompareText(app.Forms(i)->Name(), formName) == 0)
            return TabrixFindOwnedDataSet(app.Forms(i), dataSetName);
    return nullptr;
}

}  // namespace tabrix
