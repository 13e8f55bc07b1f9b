// Built only by the layering test, which expects this to fail: the PST library does not link the
// Notes layer, so its headers must be out of reach.
#include "common/notes/Notes.h"
#include "pst/messaging.h"

int main() {
    return 0;
}
