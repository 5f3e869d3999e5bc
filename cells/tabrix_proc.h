#pragma once
// Unit TabrixProc: the free routines of the report component.

#include "cells/cell_address.h"
#include "cells/renew_references.h"
#include "cells/tabrix_error.h"
#include "cells/temp_files.h"
