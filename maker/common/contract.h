// The binary contract between the program and the maker's libraries, as the stand-ins see it:
// COM-layout interfaces with the stdcall convention on 32-bit Windows, and exports with
// undecorated names.
#pragma once

#include "platform/win32api.h"
#include "support/unknown.h"

namespace maker {

// "{00000000-0901-11D1-8B06-00A024406D59}"
inline constexpr IID kBrokerFactoryId = {
    0x00000000, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

// "{8F65D3A0-E7EC-11D4-960D-0090276215EE}": the setup engine's class.
inline constexpr CLSID kSetupEngineClassId = {
    0x8F65D3A0, 0xE7EC, 0x11D4, {0x96, 0x0D, 0x00, 0x90, 0x27, 0x62, 0x15, 0xEE}};

struct BrokerFactory : Unknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID classId, Unknown** out) = 0;
};

// The setup library's interfaces, as the maker declares them.
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

// The value carrier the settings receive: slots 3-7 after the three of IUnknown.
struct ValueBuffer : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Get(BYTE** data, DWORD* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE Set(const void* bytes, DWORD size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(DWORD size) = 0;
    virtual DWORD STDMETHODCALLTYPE GetSize() = 0;
    virtual BYTE* STDMETHODCALLTYPE GetData() = 0;
};

struct PropertyNameRegistry : Unknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterName(const char* name, int kind, int zero) = 0;
};

struct SetupSettings : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferValue(int a, int key, int c, ValueBuffer* value) = 0;
};

// What the program implements; the engine calls it while a component is uninstalled.
struct UninstallCallback : Unknown {
    virtual HRESULT STDMETHODCALLTYPE NotifyA(LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReportProgress(LONG_PTR step) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyB() = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyC() = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyD(LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyE(LONG_PTR, LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyF(LONG_PTR, LONG_PTR, LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyG() = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyH(LONG_PTR, LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyI(LONG_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeferFileRemoval(const char* path) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeferFolderRemoval(const char* path) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyJ() = 0;
};

struct ComponentRecord {
    const char* makerName;
    const char* componentName;
    WORD valueA;
    WORD valueB;
    UninstallCallback* callback;
};
static_assert(sizeof(void*) != 4 || sizeof(ComponentRecord) == 16, "no gaps on 32-bit Windows");

struct SetupEngine : Unknown {
    virtual HRESULT STDMETHODCALLTYPE BeginComponent(ComponentRecord* record) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE EndComponent() = 0;                          // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(const char* command, int flag) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE ProtectFile(const char* path) = 0; // 12
};

struct ComponentList : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    virtual WORD STDMETHODCALLTYPE GetCount() = 0;
    virtual const char* STDMETHODCALLTYPE GetName(UINT index) = 0;
    virtual WORD STDMETHODCALLTYPE GetValueA(UINT index) = 0;
    virtual WORD STDMETHODCALLTYPE GetValueB(UINT index) = 0;
};

struct ComponentLocation : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual const char* STDMETHODCALLTYPE GetPath() = 0; // 6
};

struct ComponentUninstaller : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Uninstall(int flag) = 0;
};

} // namespace maker

// The setup library's factory export.
extern "C" HRESULT WINAPI LMACreateInstance(maker::SetupEngine** engine);
typedef HRESULT(WINAPI* SetupFactoryEntry)(maker::SetupEngine** engine);

// The access-path hand-over every library of the maker exports.
extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block);
