// The platform's own streamable classes, known to FindClass from the start.
#include "platform/classes/application.h"
#include "platform/classes/collection.h"
#include "platform/classes/stringlist.h"

namespace tabrix::classes_detail {

std::vector<const TClassInfo*> PlatformClasses() {
    return {&TPersistent::StaticClassInfo(),     &TComponent::StaticClassInfo(), &TCollection::StaticClassInfo(),
            &TCollectionItem::StaticClassInfo(), &TStrings::StaticClassInfo(),   &TStringList::StaticClassInfo(),
            &TDataModule::StaticClassInfo(),     &TForm::StaticClassInfo()};
}

}  // namespace tabrix::classes_detail
