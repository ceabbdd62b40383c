// Folder-name tests on 8-bit paths.
#pragma once

// 1 when `path` ends with a backslash followed by `name` (byte for byte, case matters) and is
// longer than that; a path equal to the name, or shorter, gives 0. The backslash is any byte
// 0x5C, a double-byte character's trail byte included, so such a folder is spared too.
int EndsWithFolderName(const char* path, const char* name);
