// The Linux layer's machine for the double-byte tests uses code page 932. (Under Wine the code
// page comes from the locale: CTest runs these tests with LC_ALL=ja_JP.UTF-8.)
#include "platform/win32api.h"

#include <gtest/gtest.h>

namespace {

class DoubleByteMachine : public testing::Environment {
public:
    void SetUp() override {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE,
                                "System\\CurrentControlSet\\Control\\Nls\\CodePage", &key),
                  ERROR_SUCCESS);
        const char acp[] = "932";
        ASSERT_EQ(
            RegSetValueExA(key, "ACP", 0, REG_SZ, reinterpret_cast<const BYTE*>(acp), sizeof acp),
            ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

const auto* const environment = testing::AddGlobalTestEnvironment(new DoubleByteMachine);

} // namespace
