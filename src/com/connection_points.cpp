#include "com/connection_points.h"

#include <atomic>
#include <new>

#include "com/module.h"

namespace miraxld::com {

namespace {

class EmptyConnectionPointEnum final : public IEnumConnectionPoints {
  public:
    EmptyConnectionPointEnum() { ObjectCreated(); }
    ~EmptyConnectionPointEnum() { ObjectDestroyed(); }
    EmptyConnectionPointEnum(const EmptyConnectionPointEnum&) = delete;
    EmptyConnectionPointEnum& operator=(const EmptyConnectionPointEnum&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumConnectionPoints)) {
            *ppv = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        if (points == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        if (fetched != nullptr) {
            *fetched = 0;
        }
        return count == 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
        return CreateEmptyConnectionPointEnum(out);
    }

  private:
    std::atomic<ULONG> m_refs{1};
};

}  // namespace

HRESULT CreateEmptyConnectionPointEnum(IEnumConnectionPoints** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = new (std::nothrow) EmptyConnectionPointEnum;
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace miraxld::com
