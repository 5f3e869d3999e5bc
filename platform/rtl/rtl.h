#pragma once
// The runtime basics in one include.
#include "platform/rtl/convert.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"
