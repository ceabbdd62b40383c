// Registry link keys: made with REG_OPTION_CREATE_LINK and a REG_LINK value "SymbolicLinkValue"
// naming another key by its kernel path, followed by every open unless REG_OPTION_OPEN_LINK
// asks for the link itself. What a deletion must know about them is checked here: deleting a
// link by name reaches what it names; only a deletion through a handle of the link itself
// removes the link alone. The links live in a sandbox under HKEY_CURRENT_USER and point into
// one under HKEY_LOCAL_MACHINE, whose kernel path is the same on every build.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kLinks[] = "Software\\ovuninst-link-conformance";
const char kTargets[] = "Software\\ovuninst-link-targets";

// The key and everything below it, links removed as links; a missing key is fine.
void Wipe(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, MAXIMUM_ALLOWED, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    char name[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS;) {
        const std::string child = path + "\\" + name;
        Wipe(root, child);
        HKEY left;
        if (RegOpenKeyExA(root, child.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &left) ==
            ERROR_SUCCESS) {
            RegCloseKey(left);
            ++i; // it resisted: go on with the next
        }
    }
    NtDeleteKey(key);
    RegCloseKey(key);
}

bool Exists(HKEY root, const std::string& path, DWORD options = 0) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), options, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

class RegistryLinkConformance : public testing::Test {
protected:
    void SetUp() override {
        Wipe(HKEY_CURRENT_USER, kLinks);
        Wipe(HKEY_LOCAL_MACHINE, kTargets);
        Make(HKEY_CURRENT_USER, kLinks);
        Make(HKEY_LOCAL_MACHINE, Target("Full\\Sub"));
        Make(HKEY_LOCAL_MACHINE, Target("Empty"));
    }
    void TearDown() override {
        Wipe(HKEY_CURRENT_USER, kLinks);
        Wipe(HKEY_LOCAL_MACHINE, kTargets);
    }

    static std::string Link(const char* name) { return std::string(kLinks) + "\\" + name; }
    static std::string Target(const char* name) { return std::string(kTargets) + "\\" + name; }
    static void Make(HKEY root, const std::string& path) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
        RegCloseKey(key);
    }

    // A link below the links' sandbox; `target` a key below the targets' one, or null for a
    // link without its value. The status of the creation.
    static LONG MakeLink(const char* name, const char* target, DWORD* disposition = nullptr) {
        HKEY key;
        DWORD made = 0;
        const LONG status =
            RegCreateKeyExA(HKEY_CURRENT_USER, Link(name).c_str(), 0, nullptr,
                            REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &key, &made);
        if (disposition != nullptr) {
            *disposition = made;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (target != nullptr) {
            std::wstring path = L"\\Registry\\Machine\\";
            for (const char* c = kTargets; *c != '\0'; ++c) {
                path += static_cast<wchar_t>(*c);
            }
            path += L"\\";
            for (const char* c = target; *c != '\0'; ++c) {
                path += static_cast<wchar_t>(*c);
            }
            // The kernel path as Windows stores it: UTF-16LE, no terminator.
            std::string bytes;
            for (wchar_t c : path) {
                bytes += static_cast<char>(c & 0xFF);
                bytes += static_cast<char>(c >> 8);
            }
            EXPECT_EQ(RegSetValueExA(key, "SymbolicLinkValue", 0, REG_LINK,
                                     reinterpret_cast<const BYTE*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
        return ERROR_SUCCESS;
    }
};

TEST_F(RegistryLinkConformance, OpensFollowTheLinkUnlessAskedForItself) {
    DWORD disposition = 0;
    ASSERT_EQ(MakeLink("Shared", "Full", &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, Link("Shared").c_str(), &key), ERROR_SUCCESS);
    DWORD subKeys = 99;
    DWORD values = 99;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u) << "what the link names: its sub-key Sub";
    EXPECT_EQ(values, 0u);
    RegCloseKey(key);
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, Link("Shared\\Sub")));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, Link("Shared\\Sub"), REG_OPTION_OPEN_LINK))
        << "a link on the way is followed whatever is asked for the last name";

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Link("Shared").c_str(), REG_OPTION_OPEN_LINK,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_LINK));
    EXPECT_EQ(size, 2 * (strlen("\\Registry\\Machine\\") + strlen(kTargets) + strlen("\\Full")));
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u) << "the link itself";
    EXPECT_EQ(values, 1u);
    RegCloseKey(key);

    char name[MAX_PATH];
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kLinks, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Shared") << "its parent lists the link";
    RegCloseKey(key);
}

TEST_F(RegistryLinkConformance, ALinkNamingNothingOpensOnlyAsItself) {
    ASSERT_EQ(MakeLink("Dangling", "Missing"), ERROR_SUCCESS);
    ASSERT_EQ(MakeLink("Bare", nullptr), ERROR_SUCCESS);
    for (const char* name : {"Dangling", "Bare"}) {
        EXPECT_FALSE(Exists(HKEY_CURRENT_USER, Link(name))) << name;
        EXPECT_TRUE(Exists(HKEY_CURRENT_USER, Link(name), REG_OPTION_OPEN_LINK)) << name;
    }
    EXPECT_EQ(MakeLink("Dangling", "Full"), ERROR_ALREADY_EXISTS) << "over a link";
    Make(HKEY_CURRENT_USER, Link("Plain"));
    EXPECT_EQ(MakeLink("Plain", "Full"), ERROR_ALREADY_EXISTS) << "over a plain key";

    // A key made below a link is made in what it names, that key too when missing.
    Make(HKEY_CURRENT_USER, Link("Dangling\\Made"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, Target("Missing\\Made")));
}

TEST_F(RegistryLinkConformance, DeletingALinkByNameDeletesWhatItNames) {
    ASSERT_EQ(MakeLink("ToEmpty", "Empty"), ERROR_SUCCESS);
    ASSERT_EQ(MakeLink("ToFull", "Full"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, Link("ToEmpty").c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, Target("Empty"))) << "the key it named went";
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, Link("ToEmpty"), REG_OPTION_OPEN_LINK))
        << "the link stayed";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, Link("ToFull").c_str()), ERROR_ACCESS_DENIED)
        << "what it names has a sub-key";
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, Target("Full")));
}

TEST_F(RegistryLinkConformance, DeletingThroughTheLinksOwnHandleRemovesTheLinkAlone) {
    ASSERT_EQ(MakeLink("ToEmpty", "Empty"), ERROR_SUCCESS);
    HKEY link;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Link("ToEmpty").c_str(), REG_OPTION_OPEN_LINK,
                            KEY_READ, &link),
              ERROR_SUCCESS);
    EXPECT_NE(NtDeleteKey(link), 0) << "a handle without DELETE access";
    RegCloseKey(link);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Link("ToEmpty").c_str(), REG_OPTION_OPEN_LINK,
                            MAXIMUM_ALLOWED, &link),
              ERROR_SUCCESS);
    EXPECT_EQ(NtDeleteKey(link), 0);
    RegCloseKey(link);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, Link("ToEmpty"), REG_OPTION_OPEN_LINK));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, Target("Empty")));

    HKEY full;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Target("Full").c_str(), 0, MAXIMUM_ALLOWED, &full),
              ERROR_SUCCESS);
    EXPECT_NE(NtDeleteKey(full), 0) << "a key with a sub-key stays";
    RegCloseKey(full);
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, Target("Full\\Sub")));
}

} // namespace
