// Folder-name tests on 8-bit paths.
#pragma once

// 1 when `path` ends with a backslash followed by `name` (byte for byte, case matters) and is
// longer than that; a path equal to the name, or shorter, gives 0. On a double-byte system the
// backslash must be a character of its own, not the trail byte of a double-byte character.
int EndsWithFolderName(const char* path, const char* name);
