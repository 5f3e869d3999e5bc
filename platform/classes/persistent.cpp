#include "platform/classes/persistent.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

namespace tabrix {

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TPersistent, void>("TPersistent").Build();
    return info;
}

const std::string& TPersistent::ClassName() const { return ClassInfo().Name(); }

bool TPersistent::InheritsFrom(const TClassInfo& info) const { return ClassInfo().InheritsFrom(info); }

void TPersistent::Assign(const TPersistent* source) {
    if (!source) AssignError(nullptr);
    source->AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const { dest.AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
    throw EConvertError(
        Format("Cannot assign a %s to a %s", {source ? source->ClassName() : std::string("nil"), ClassName()}));
}

std::string TPersistent::GetNamePath() const { return ClassName(); }

void TPersistent::DefineProperties(TFiler&) {}

}  // namespace tabrix
