#pragma once
// The PST session nsfsave writes through.

#include "savingprocess/engine/SavingRun.h"

StoreFactory DefaultStoreFactory();
