#pragma once
// The application object of the platform: the open forms and data modules
// (looked up by name when a form names a component of another module), the
// application folder relative names are taken from, and the methods the
// program binds to event names before it loads a form.
//
// TDataModule and TForm are the roots a form file holds; they enter the
// application's lists when created and leave them when destroyed.

#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"

namespace tabrix {

class TApplication {
public:
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TComponent* Forms(int index) const;  // EListError outside the range
    int DataModuleCount() const { return static_cast<int>(FDataModules.size()); }
    TComponent* DataModules(int index) const;
    // A form or data module by name, ignoring case: forms first, then data
    // modules, each in the order they were created. Null when none.
    TComponent* FindGlobalComponent(std::string_view name) const;

    // Folder of relative file names (see platform/rtl/files.h).
    std::string Folder() const;
    void SetFolder(const std::string& folder);

    // Event names bound to callables; reading a form binds event values here.
    TMethodTable& Methods() { return FMethods; }

    void AddForm(TComponent* form);
    void RemoveForm(TComponent* form);
    void AddDataModule(TComponent* module);
    void RemoveDataModule(TComponent* module);

private:
    std::vector<TComponent*> FForms;
    std::vector<TComponent*> FDataModules;
    TMethodTable FMethods;
};

// The one application object of the process (never destroyed, so modules
// that outlive main's locals can still leave its lists).
TApplication& Application();

// A container of non-visual components: database connections, queries,
// reports. The usual root of a form file.
class TDataModule : public TComponent {
    TABRIX_CLASS(TDataModule)
public:
    explicit TDataModule(TComponent* owner = nullptr);
    ~TDataModule() override;
};

// A window's container of components. Without a windowing system it only
// holds components and appears in the application's list of forms.
class TForm : public TComponent {
    TABRIX_CLASS(TForm)
public:
    explicit TForm(TComponent* owner = nullptr);
    ~TForm() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }

private:
    std::string FCaption;
};

}  // namespace tabrix
