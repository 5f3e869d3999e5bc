#include "platform/db/db.h"

namespace tabrix {

void RegisterDbClasses() {
    for (const TClassInfo* info :
         {&TField::StaticClassInfo(), &TDataSetField::StaticClassInfo(), &TDataSource::StaticClassInfo(),
          &TSQLiteConnection::StaticClassInfo(), &TPgConnection::StaticClassInfo(), &TSQLQuery::StaticClassInfo(),
          &TMemTable::StaticClassInfo()})
        RegisterClass(*info);
}

}  // namespace tabrix
