#include "StoreFactory.h"

StoreFactory DefaultStoreFactory() {
    return [] { return std::unique_ptr<StoreSession>(); };
}
