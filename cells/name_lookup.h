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
void TabrixFindStrParts(const AnsiString& Name, AnsiString& Form, AnsiString& DataSet, AnsiString& Field);

// The data set named DataSetName of the open data module, else the open
// form, named FormName (both ignoring case; data modules first, the first
// module of that name ends the search). None when there is no such module
// or it has no such component; EConvertError when the component is no
// data set.
// The component named DataSetName (ignoring case) among those Owner owns, as
// a data set; none when Owner is none or owns no such component,
// EConvertError when the component is no data set.
TDataSet* TabrixFindOwnedDataSet(const TComponent* Owner, const AnsiString& DataSetName);

TDataSet* TabrixFindDSInForms(const AnsiString& FormName, const AnsiString& DataSetName);

}  // namespace tabrix
