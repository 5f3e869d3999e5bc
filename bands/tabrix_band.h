#pragma once
// Unit TabrixBand: band types, the band classes and the band collection.

#include "bands/band.h"
#include "bands/band_type.h"
#include "bands/bands.h"
