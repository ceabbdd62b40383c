// A test library without the access-path export: it exports only Ping.
#include "common/contract.h"
#include "common/trace.h"

namespace {

const char kLibrary[] = "silent";

maker::LifetimeTrace lifetime(kLibrary);

} // namespace

extern "C" HRESULT WINAPI Ping() {
    maker::Trace(kLibrary, "Ping");
    return S_OK;
}
