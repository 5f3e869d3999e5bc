#include "platform/db/datasource.h"

#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"

namespace tabrix {

const TClassInfo& TDataSource::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TDataSource, TComponent>("TDataSource")
                                       .Component("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
                                       .Build();
    return info;
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    if (FDataSet) FDataSet->RemoveObserver(this);
    FDataSet = nullptr;
    for (TDataSourceObserver* c : std::vector<TDataSourceObserver*>(FClients)) {
        try {
            c->DataSourceDestroying(*this);
        } catch (...) {}
    }
    FClients.clear();
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet) return;
    // A detail that follows this source must not become its own master.
    if (dataSet)
        for (TDataSourceObserver* c : FClients)
            if (auto* detail = dynamic_cast<TDataSet*>(c))
                for (const TDataSet* m = dataSet; m; m = m->MasterDataSet())
                    if (m == detail) db_errors::CircularLink(detail->Name());
    if (FDataSet) FDataSet->RemoveObserver(this);
    FDataSet = dataSet;
    if (FDataSet) FDataSet->AddObserver(this);
    NotifyClients(FDataSet && FDataSet->Active() ? TDataEvent::deScroll : TDataEvent::deClose);
}

void TDataSource::AddClient(TDataSourceObserver* client) {
    if (std::find(FClients.begin(), FClients.end(), client) == FClients.end()) FClients.push_back(client);
}

void TDataSource::RemoveClient(TDataSourceObserver* client) { std::erase(FClients, client); }

void TDataSource::DataSetEvent(TDataSet&, TDataEvent event) { NotifyClients(event); }

void TDataSource::DataSetDestroying(TDataSet&) {
    FDataSet = nullptr;
    // Runs inside the data set's destructor: a detail that cannot follow is closed.
    for (TDataSourceObserver* c : std::vector<TDataSourceObserver*>(FClients)) {
        try {
            c->DataSourceEvent(*this, TDataEvent::deClose);
        } catch (...) {
            if (auto* detail = dynamic_cast<TDataSet*>(c)) {
                try {
                    detail->Close();
                } catch (...) {}
            }
        }
    }
}

void TDataSource::NotifyClients(TDataEvent event) {
    for (TDataSourceObserver* c : std::vector<TDataSourceObserver*>(FClients))
        if (std::find(FClients.begin(), FClients.end(), c) != FClients.end()) c->DataSourceEvent(*this, event);
}

}  // namespace tabrix
