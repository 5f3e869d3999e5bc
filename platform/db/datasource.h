#pragma once
// TDataSource: the link between a data set and what follows it. Detail
// data sets name a data source (DataSource, MasterSource) rather than the
// master itself, and are told through it when the master opens, closes or
// moves.

#include <vector>

#include "platform/classes/component.h"
#include "platform/db/data_link.h"

namespace tabrix {

class TDataSet;

class TDataSource : public TComponent, public TDataSetObserver {
    TABRIX_CLASS(TDataSource)
public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);

    void AddClient(TDataSourceObserver* client);
    void RemoveClient(TDataSourceObserver* client);

protected:
    void DataSetEvent(TDataSet& dataSet, TDataEvent event) override;
    void DataSetDestroying(TDataSet& dataSet) override;

private:
    void NotifyClients(TDataEvent event);

    TDataSet* FDataSet = nullptr;
    std::vector<TDataSourceObserver*> FClients;
};

}  // namespace tabrix
