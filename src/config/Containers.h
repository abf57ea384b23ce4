#pragma once

// The keyed containers of the settings store in one include.
#include "config/PropertyList.h"
#include "config/StrHashTable.h"
#include "config/SyncObject.h"
