#pragma once

// The keyed containers of the settings store in one include.
#include "PropertyList.h"
#include "StrHashTable.h"
#include "SyncObject.h"
