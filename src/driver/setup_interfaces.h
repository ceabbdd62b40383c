// The maker's setup library as the program sees it: the interfaces through which it is reached
// (directly, or through the object broker's factory), their identifiers and slot orders, and the
// record handed to the engine for each component. The library is built apart from the program, so
// every interface has the COM layout and calling convention, and slots the program never calls
// are declared all the same to keep the later slots in place.
#pragma once

#include "platform/win32api.h"
#include "support/buffer.h"
#include "support/unknown.h"

#include <cstddef>

// "{00000000-0901-11D1-8B06-00A024406D59}"
inline constexpr IID kBrokerFactoryId = {
    0x00000000, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// "{C2C65401-A478-11D4-9518-00902790299C}"
inline constexpr IID kPropertyNameRegistryId = {
    0xC2C65401, 0xA478, 0x11D4, {0x95, 0x18, 0x00, 0x90, 0x27, 0x90, 0x29, 0x9C}};
// "{32B19771-2299-11D4-9503-00902790299C}"
inline constexpr IID kSetupSettingsId = {
    0x32B19771, 0x2299, 0x11D4, {0x95, 0x03, 0x00, 0x90, 0x27, 0x90, 0x29, 0x9C}};
// "{00000700-61DF-11D0-9CEE-080017035B43}"
inline constexpr IID kSetupEngineId = {
    0x00000700, 0x61DF, 0x11D0, {0x9C, 0xEE, 0x08, 0x00, 0x17, 0x03, 0x5B, 0x43}};
// "{00000700-59DF-11D0-9DAF-0801160ABBA7}"
inline constexpr IID kComponentListId = {
    0x00000700, 0x59DF, 0x11D0, {0x9D, 0xAF, 0x08, 0x01, 0x16, 0x0A, 0xBB, 0xA7}};
// "{00000700-61DF-11D0-9DEF-090116025A42}"
inline constexpr IID kComponentLocationId = {
    0x00000700, 0x61DF, 0x11D0, {0x9D, 0xEF, 0x09, 0x01, 0x16, 0x02, 0x5A, 0x42}};
// "{00000700-61DF-11D0-9DEF-090116025A43}"
inline constexpr IID kComponentUninstallerId = {
    0x00000700, 0x61DF, 0x11D0, {0x9D, 0xEF, 0x09, 0x01, 0x16, 0x02, 0x5A, 0x43}};
// "{00000700-61EF-11E0-9CEE-080017035B43}"
inline constexpr IID kUninstallCallbackId = {
    0x00000700, 0x61EF, 0x11E0, {0x9C, 0xEE, 0x08, 0x00, 0x17, 0x03, 0x5B, 0x43}};
// "{8F65D3A0-E7EC-11D4-960D-0090276215EE}": the class of the setup engine, made by the broker.
inline constexpr CLSID kSetupEngineClassId = {
    0x8F65D3A0, 0xE7EC, 0x11D4, {0x96, 0x0D, 0x00, 0x90, 0x27, 0x62, 0x15, 0xEE}};

// Arguments the program never reads are pointer-sized, so that whatever the caller passes fits.
typedef LONG_PTR Opaque;

// What the engine calls back while it uninstalls a component. The program implements it
// (CallbackObject); the engine calls it on the program's thread, from inside the program's calls.
struct UninstallCallback : Unknown {
    virtual HRESULT STDMETHODCALLTYPE NotifyA(Opaque a) = 0;                     // 3
    virtual HRESULT STDMETHODCALLTYPE ReportProgress(Opaque step) = 0;           // 4
    virtual HRESULT STDMETHODCALLTYPE NotifyB() = 0;                             // 5
    virtual HRESULT STDMETHODCALLTYPE NotifyC() = 0;                             // 6
    virtual HRESULT STDMETHODCALLTYPE NotifyD(Opaque a) = 0;                     // 7
    virtual HRESULT STDMETHODCALLTYPE NotifyE(Opaque a, Opaque b) = 0;           // 8
    virtual HRESULT STDMETHODCALLTYPE NotifyF(Opaque a, Opaque b, Opaque c) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE NotifyG() = 0;                             // 10
    virtual HRESULT STDMETHODCALLTYPE NotifyH(Opaque a, Opaque b) = 0;           // 11
    virtual HRESULT STDMETHODCALLTYPE NotifyI(Opaque a) = 0;                     // 12
    virtual HRESULT STDMETHODCALLTYPE DeferFileRemoval(const char* path) = 0;    // 13
    virtual HRESULT STDMETHODCALLTYPE DeferFolderRemoval(const char* path) = 0;  // 14
    virtual HRESULT STDMETHODCALLTYPE NotifyJ() = 0;                             // 15
};

// One component, handed by address to SetupEngine::BeginComponent.
struct ComponentRecord {
    const char* makerName;
    const char* componentName;
    WORD valueA;
    WORD valueB;
    UninstallCallback* callback; // may be null
};
static_assert(sizeof(void*) != 4 || sizeof(ComponentRecord) == 16,
              "the record has no gaps on 32-bit Windows");
static_assert(offsetof(ComponentRecord, valueA) == 2 * sizeof(void*) &&
                  offsetof(ComponentRecord, callback) == 2 * sizeof(void*) + sizeof(void*),
              "the two 16-bit values sit together between the texts and the callback");

struct SetupEngine : Unknown {
    virtual HRESULT STDMETHODCALLTYPE BeginComponent(ComponentRecord* record) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE EndComponent() = 0;                          // 4
    virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(const char* command, int flag) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE ProtectFile(const char* path) = 0; // 12
};

// The 16-bit results are read from the low half of the result register only; indexes are passed
// in a full register, so a library reading either width gets the same number.
struct ComponentList : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;               // 3
    virtual WORD STDMETHODCALLTYPE GetCount() = 0;                 // 4
    virtual const char* STDMETHODCALLTYPE GetName(UINT index) = 0; // 5
    virtual WORD STDMETHODCALLTYPE GetValueA(UINT index) = 0;      // 6
    virtual WORD STDMETHODCALLTYPE GetValueB(UINT index) = 0;      // 7
};

struct ComponentLocation : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
    virtual const char* STDMETHODCALLTYPE GetPath() = 0; // 6
};

struct ComponentUninstaller : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Uninstall(int flag) = 0; // 3
};

// The object broker's factory and the two settings interfaces it also answers.
struct BrokerFactory : Unknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID classId, Unknown** out) = 0; // 3
};

struct PropertyNameRegistry : Unknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterName(const char* name, int kind, int zero) = 0; // 3
};

struct SetupSettings : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferValue(int a, int key, int c,
                                                     BufferInterface* value) = 0; // 4
};

// The setup library's factory export, "LMACreateInstance".
typedef HRESULT(WINAPI* SetupFactoryEntry)(SetupEngine** engine);
