// The process-wide table of library folders, one per library kind, every folder ending in a
// backslash. Filled from the registry before any library is loaded; every library loaded later
// is handed the whole table as one access-path block through its SetDLLAccessPath export.
//
// Access-path block: for each entry "<kind name>=<folder>" and a NUL byte, then one more NUL.
#pragma once

#include "loader/library_kind.h"
#include "platform/win32api.h"
#include "support/string_map.h"

// The SetDLLAccessPath export of a library: it must copy what it needs before it returns.
typedef HRESULT(WINAPI* AccessPathEntry)(const char* block);

class LibraryAccessPaths {
public:
    LibraryAccessPaths();
    LibraryAccessPaths(const LibraryAccessPaths&) = delete;
    LibraryAccessPaths& operator=(const LibraryAccessPaths&) = delete;
    virtual ~LibraryAccessPaths();
    virtual ULONG AddRef();
    virtual ULONG Release();

    // The process-wide table.
    static LibraryAccessPaths& Instance();

    // The kind's name for kinds 0 to 7 (low 16 bits), else null.
    static const char* KindName(unsigned kind);

    // A null or empty folder is ignored; a backslash is appended when the folder lacks one.
    HRESULT SetKindPath(unsigned kind, const char* folder); // E_FAIL for kinds of 8 and above
    HRESULT SetNamedPath(const char* name, const char* folder);
    // The stored folder, valid until that entry is set again, or null.
    const char* GetKindPath(unsigned kind) const;
    const char* GetNamedPath(const char* name) const;
    int GetCount() const { return folders_.GetCount(); }

    // Calls entry once with the access-path block, unless the table is empty. E_FAIL when the
    // block cannot be allocated (entry is then not called).
    HRESULT PassAccessPaths(AccessPathEntry entry) const;

private:
    LONG refCount_ = 0;
    StringMap folders_;
};

// Fills the process-wide table from the maker's common preferences: for each kind, the default
// value of "Software\Orvane\Preferences\<kind name>" below HKEY_CLASSES_ROOT. Absent keys and
// values leave their kind without a folder. Returns 0.
HRESULT LoadAccessPathsFromRegistry();
