#pragma once
// How linked data sets follow each other: a data set tells its observers
// (data sources, nested tables) when it opens, closes or moves to another
// record; a data source passes that on to the data sets linked to it
// (detail queries, detail tables). Both tell their observers before they go,
// so no one keeps a pointer to a destroyed object.

#include <cstdint>

namespace tabrix {

class TDataSet;
class TDataSource;

enum class TDataEvent : uint8_t { deOpen, deClose, deScroll };

class TDataSetObserver {
public:
    virtual void DataSetEvent(TDataSet& dataSet, TDataEvent event) = 0;
    virtual void DataSetDestroying(TDataSet& dataSet) = 0;

protected:
    ~TDataSetObserver() = default;
};

class TDataSourceObserver {
public:
    virtual void DataSourceEvent(TDataSource& source, TDataEvent event) = 0;
    virtual void DataSourceDestroying(TDataSource& source) = 0;

protected:
    ~TDataSourceObserver() = default;
};

}  // namespace tabrix
