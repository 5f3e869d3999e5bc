#include "platform/classes/application.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {
void RemoveFrom(std::vector<TComponent*>& list, TComponent* c) {
    list.erase(std::remove(list.begin(), list.end(), c), list.end());
}
TComponent* At(const std::vector<TComponent*>& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.size())) RaiseListIndexError(index);
    return list[static_cast<size_t>(index)];
}
}  // namespace

TApplication& Application() {
    static TApplication* app = new TApplication();
    return *app;
}

TComponent* TApplication::Forms(int index) const { return At(FForms, index); }
TComponent* TApplication::DataModules(int index) const { return At(FDataModules, index); }

TComponent* TApplication::FindGlobalComponent(std::string_view name) const {
    for (TComponent* c : FForms)
        if (SameText(c->Name(), name)) return c;
    for (TComponent* c : FDataModules)
        if (SameText(c->Name(), name)) return c;
    return nullptr;
}

std::string TApplication::Folder() const { return ApplicationFolder(); }
void TApplication::SetFolder(const std::string& folder) { SetApplicationFolder(folder); }

void TApplication::AddForm(TComponent* form) { FForms.push_back(form); }
void TApplication::RemoveForm(TComponent* form) { RemoveFrom(FForms, form); }
void TApplication::AddDataModule(TComponent* module) { FDataModules.push_back(module); }
void TApplication::RemoveDataModule(TComponent* module) { RemoveFrom(FDataModules, module); }

const TClassInfo& TDataModule::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TDataModule, TComponent>("TDataModule").Build();
    return info;
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) { Application().AddDataModule(this); }

TDataModule::~TDataModule() {
    Application().RemoveDataModule(this);
    DestroyComponents();  // while the module is still itself
}

const TClassInfo& TForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TForm, TComponent>("TForm").String("Caption", &TForm::Caption, &TForm::SetCaption).Build();
    return info;
}

TForm::TForm(TComponent* owner) : TComponent(owner) { Application().AddForm(this); }

TForm::~TForm() {
    Application().RemoveForm(this);
    DestroyComponents();
}

}  // namespace tabrix
