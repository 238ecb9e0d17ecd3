#include "com/class_factory.h"

#include "com/module.h"
#include "com/posldisplay_object.h"

namespace miraxld::com {

namespace {

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: the count only keeps the library loaded while someone holds it.
    ULONG STDMETHODCALLTYPE AddRef() override {
        LockModule();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        UnlockModule();
        return 1;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        // An aggregating caller must take the inner object's own IUnknown.
        if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) {
            return CLASS_E_NOAGGREGATION;
        }
        return PosLDisplayObject::Create(outer, riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }
};

}  // namespace

IClassFactory& PosLDisplayClassFactory() {
    static ClassFactory factory;
    return factory;
}

}  // namespace miraxld::com
