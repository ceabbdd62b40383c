// The maker's common preferences: the store below HKEY_CLASSES_ROOT
// "Software\<company>\Preferences", from which the folders of the maker's libraries are read.
#pragma once

class PreferenceStore;

// A new store owned by the caller (destroyed with delete), or null when it cannot be made. Only
// the part of the company name before its first comma counts; on platform codes 1 and 2 the
// spaces of the key path become underscores. A key path longer than 511 characters is refused.
PreferenceStore* OpenCommonPreferences(const char* company);
