#include "driver/aggregatable_base.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Records the base's calls into the slots a derived object fills.
class Probe final : public AggregatableBase {
public:
    explicit Probe(std::string& log) : log_(log) {}
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID, void** out) override {
        log_ += "query ";
        NonDelegatingAddRef();
        *out = static_cast<Unknown*>(this);
        return S_OK;
    }
    void STDMETHODCALLTYPE FinalRelease() override { log_ += "final "; }
    void STDMETHODCALLTYPE Destroy(unsigned flags) override {
        log_ += "destroy(" + std::to_string(flags) + ")";
        std::string& log = log_;
        this->~Probe();
        if (flags & 1) {
            ::operator delete(this);
        }
        log += " ";
    }

private:
    ~Probe() = default;
    std::string& log_;
};

TEST(AggregatableBase, LastReleaseFinalisesThenDestroys) {
    std::string log;
    Probe* probe = new Probe(log);
    EXPECT_EQ(probe->AddRef(), 1u);
    EXPECT_EQ(probe->AddRef(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(log, "");
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(log, "final destroy(1) ");
}

TEST(AggregatableBase, ProxyRoutesQueriesToItsOwnerAndDestroysItAtZero) {
    std::string log;
    Probe* probe = new Probe(log);
    struct : Unknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_FAIL; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
    } outer;
    Unknown* proxy = nullptr;
    ASSERT_EQ(probe->Aggregate(&outer, &proxy), S_OK);
    void* out = nullptr;
    EXPECT_EQ(proxy->QueryInterface(kUnknownInterfaceId, &out), S_OK);
    EXPECT_EQ(out, static_cast<Unknown*>(probe));
    EXPECT_EQ(probe->RefCount(), 1);
    // The outer object's own count decides; the proxy's going takes the owner with it.
    EXPECT_EQ(proxy->Release(), 0u);
    EXPECT_EQ(log, "query destroy(1) ");
}

} // namespace
