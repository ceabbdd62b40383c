// A Directory whose tree removal can spare the sub-folders of a given name with all they hold.
#pragma once

#include "fs/directory.h"

class SparingDirectory : public Directory {
public:
    // 14: removes the tree like RemoveTree, except every folder at any depth whose name is `name`
    // (case matters) and what it holds. 1 when the folder was left in place, 0 when removed.
    // Built with the media-database removal, in sparing_directory.cpp.
    virtual int RemoveTreeKeeping(int recurse, const char* name);
};

static_assert(sizeof(SparingDirectory) == sizeof(Directory), "the sparing folder adds no fields");
