// Folders the process holds open through CreateFileA. A path that lies in a held folder is looked
// up from the handle's descriptor ("/proc/self/fd/N" and the rest of the path), never from the
// folder's name again: a host process that renames a held folder away and puts a link at its name
// cannot redirect what the layer's process lists, deletes or opens below it, as on Windows, where
// no process can rename a folder held without delete sharing.
#pragma once

#include <cstdint>

#include "platform/posix/paths/path_map.h"

namespace ovlayer {

// The folder `path` names is held by the handle `id` through the descriptor `fd` until
// ReleaseFolder.
void HoldFolder(uintptr_t id, int fd, const WindowsPath& path);
void ReleaseFolder(uintptr_t id);

// The descriptor of the deepest held ancestor of `path` (with `itself`, the held folder the path
// names counts too), and how many of the path's parts it covers. False when none is held.
bool FindHeldFolder(const WindowsPath& path, bool itself, int* fd, size_t* covered);

} // namespace ovlayer
