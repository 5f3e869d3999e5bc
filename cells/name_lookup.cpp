#include "cells/name_lookup.h"

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/classes/application.h"
#include "platform/db/dataset.h"
#include "platform/rtl/format.h"

namespace tabrix {

void TabrixFindStrParts(const AnsiString& Name, AnsiString& Form, AnsiString& DataSet, AnsiString& Field) {
    Form.clear();
    DataSet.clear();
    size_t dot = Name.find('.');
    if (dot == AnsiString::npos) {
        Field = Trim(Name);
        return;
    }
    auto bad = [&] { return ETabrixError(Format(SBadFieldName, {Name})); };
    DataSet = Name.substr(0, dot);
    if (dot + 1 == Name.size()) throw bad();
    Field = Name.substr(dot + 1);
    if (size_t second = Field.find('.'); second != AnsiString::npos) {
        Form = Trim(DataSet);
        DataSet = Field.substr(0, second);
        if (second + 1 == Field.size()) throw bad();
        Field = Field.substr(second + 1);
        if (Field.find('.') != AnsiString::npos) throw bad();
    }
    DataSet = Trim(DataSet);
    Field = Trim(Field);
}

TDataSet* TabrixFindOwnedDataSet(const TComponent* module, const AnsiString& DataSetName) {
    if (!module) return nullptr;
    TComponent* found = module->FindComponent(DataSetName);
    if (!found) return nullptr;
    auto* dataSet = dynamic_cast<TDataSet*>(found);
    if (!dataSet)
        throw EConvertError(
            Format("%s.%s is a %s, not a data set", {module->Name(), found->Name(), found->ClassName()}));
    return dataSet;
}

TDataSet* TabrixFindDSInForms(const AnsiString& FormName, const AnsiString& DataSetName) {
    TApplication& app = Application();
    for (int i = 0; i < app.DataModuleCount(); ++i)
        if (AnsiCompareText(app.DataModules(i)->Name(), FormName) == 0)
            return TabrixFindOwnedDataSet(app.DataModules(i), DataSetName);
    for (int i = 0; i < app.FormCount(); ++i)
        if (AnsiCompareText(app.Forms(i)->Name(), FormName) == 0)
            return TabrixFindOwnedDataSet(app.Forms(i), DataSetName);
    return nullptr;
}

}  // namespace tabrix
