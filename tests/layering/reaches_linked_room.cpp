// The counterpart of reaches_unlinked_room.cpp: a room's own headers are in reach once it is linked.
#include "pst/messaging.h"

int main() {
    return 0;
}
