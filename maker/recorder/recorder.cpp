// A test library that exports only SetDLLAccessPath and records each block it receives in the
// trace, one line per call.
#include "common/contract.h"
#include "common/trace.h"

namespace {

const char kLibrary[] = "recorder";

maker::LifetimeTrace lifetime(kLibrary);

} // namespace

extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block) {
    maker::Trace(kLibrary, "SetDLLAccessPath(" + maker::BlockText(block) + ")");
    return S_OK;
}
