#pragma once
// Unit TabrixProc: the names of field references. A reference names a
// field, optionally of a data set, optionally of a data set of another form
// or data module: "Amount", "Orders.Amount", "SalesModule.Orders.Amount".

#include "platform/rtl/strings.h"

namespace tabrix {

class TComponent;
class TDataSet;

// Splits a reference name into its parts, each trimmed; the parts a name
// lacks are empty. More than three parts, or a part before a "." that ends
// the name, raise ETabrixError "Bad field name: %s. ".
void TabrixFindStrParts(const AnsiString& name, AnsiString& form, AnsiString& dataSet, AnsiString& field);

// The component named dataSetName (ignoring case) among those owner owns, as
// a data set; none when owner is none or owns no such component,
// EConvertError when the component is no data set.
TDataSet* TabrixFindOwnedDataSet(const TComponent* owner, const AnsiString& dataSetName);

// The data set named dataSetName of the open data module, else the open
// form, named formName (both ignoring case; data modules first, the first
// module of that name ends the search). None when there is no such module
// or it has no such component; EConvertError when the component is no
// data set.
TDataSet* TabrixFindDSInForms(const AnsiString& formName, const AnsiString& dataSetName);

}  // namespace tabrix
