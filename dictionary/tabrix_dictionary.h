#pragma once
// Unit TabrixDictionary.
#include "dictionary/dictionary.h"
