#pragma once
// The component framework: persistent objects, components with owners and
// removal notification, collections, string lists, published properties and
// the class registry, streaming and form files, the application object.
//
// Declaring a component class with published properties and registering it:
//
//   // my_query.h
//   #include "platform/classes/classes.h"
//
//   class TMyQuery : public tabrix::TComponent {
//       TABRIX_CLASS(TMyQuery)
//   public:
//       explicit TMyQuery(tabrix::TComponent* owner = nullptr) : TComponent(owner) {}
//       TMyConnection* Connection() const { return FConnection; }
//       void SetConnection(TMyConnection* value);      // calls FreeNotification(value)
//       tabrix::TStringList* SQL() const { return FSQL.get(); }
//       int MaxRows = 0;
//       bool Unique = false;
//       TMyKind Kind = TMyKind::mkTable;                // enum class: mkTable, mkView
//       tabrix::TEvent<void(tabrix::TComponent* Sender)> OnOpen;
//   private:
//       TMyConnection* FConnection = nullptr;
//       std::unique_ptr<tabrix::TStringList> FSQL = std::make_unique<tabrix::TStringList>();
//   };
//
//   // my_query.cpp: one line per published property, in streaming order.
//   const tabrix::TEnumInfo MyKindInfo("TMyKind", {"mkTable", "mkView"});
//
//   const tabrix::TClassInfo& TMyQuery::StaticClassInfo() {
//       static const tabrix::TClassInfo info = tabrix::TClassBuilder<TMyQuery, tabrix::TComponent>("TMyQuery")
//           .Component("Connection", &TMyQuery::Connection, &TMyQuery::SetConnection)
//           .Object("SQL", &TMyQuery::SQL)
//           .Integer("MaxRows", &TMyQuery::MaxRows, &TMyQuery::MaxRows)
//           .Boolean("Unique", &TMyQuery::Unique, &TMyQuery::Unique, false)
//           .Enumeration("Kind", &TMyQuery::Kind, &TMyQuery::Kind, MyKindInfo, TMyKind::mkTable)
//           .Event("OnOpen", &TMyQuery::OnOpen)
//           .Build();
//       return info;
//   }
//
//   // Once at start-up (e.g. in the layer's RegisterXxxClasses()), so that a
//   // form file can create the class by name:
//   tabrix::RegisterClass(TMyQuery::StaticClassInfo());
//
// Reading a published property by name:
//   auto* conn = dynamic_cast<TMyConnection*>(tabrix::GetObjectProp(query, "Connection"));
//   tabrix::Variant rows = tabrix::GetPropValue(query, "MaxRows");
//
// Binding an event name before a form that names it is loaded:
//   tabrix::Application().Methods().Bind<void(tabrix::TComponent*)>("QueryOpen", handler);
//
// Loading and saving a form file (formfile.h):
//   std::unique_ptr<tabrix::TComponent> module = tabrix::LoadFormFile("sales.tfm");
//   tabrix::SaveFormFile("sales.tfm", *module);

#include "platform/classes/application.h"
#include "platform/classes/collection.h"
#include "platform/classes/component.h"
#include "platform/classes/filer.h"
#include "platform/classes/formfile.h"
#include "platform/classes/formtext.h"
#include "platform/classes/persistent.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/typinfo.h"
