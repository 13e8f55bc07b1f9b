#include "StoreFactory.h"

#include "savingprocess/engine/PstStorePort.h"

StoreFactory DefaultStoreFactory() {
    return [] { return CreatePstStoreSession(); };
}
