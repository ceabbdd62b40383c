// RemoveTree of one folder, alone in a process, for bench/swap_race under Wine. It says when the
// removal starts, so that the attacker can be started while it works, and what it answered, so
// that a run in which the removal never ran cannot pass for a run without loss.
//
//     remove_tree_once.exe <Windows folder>
//
// Exit status 0 when RemoveTree answered 1 and the folder is gone; 1 when something stayed (under
// attack, links put where folders were); 2 when called wrongly.
#include <stdio.h>

#include "fs/directory.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: remove_tree_once <Windows folder>\n");
        return 2;
    }
    Directory tree;
    tree.SetPath(argv[1]);
    printf("removing %s\n", argv[1]);
    fflush(stdout);
    const int removed = tree.RemoveTree(1);
    const bool gone = !tree.Exists();
    printf("RemoveTree answered %d; the folder is %s\n", removed, gone ? "gone" : "still there");
    fflush(stdout);
    return removed == 1 && gone ? 0 : 1;
}
