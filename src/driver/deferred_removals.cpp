#include "driver/deferred_removals.h"

#include "support/string.h"

#include <new>

// Constant-initialised (all members 0), so they are ready before any constructor runs.
PointerArray deferredFiles;
PointerArray deferredFolders;

void DeferRemoval(PointerArray& list, const char* path) {
    String* text = new (std::nothrow) String;
    if (text == nullptr) {
        return;
    }
    *text = path;
    list.SetAtGrow(list.GetCount(), text);
}
