// Small owners for COM pointers, BSTRs and registry keys, so that the COM shell has no manual
// cleanup paths.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "com/com_headers.h"

namespace miraxld::com {

// Holds one reference to a COM interface.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr& other) : m_ptr(other.m_ptr) {
        if (m_ptr != nullptr) {
            m_ptr->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(m_ptr, nullptr)) {
            p->Release();
        }
    }
    T* Get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &m_ptr;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(m_ptr, nullptr); }

    template <typename U>
    HRESULT As(ComPtr<U>* out) const {
        return m_ptr == nullptr ? E_POINTER : m_ptr->QueryInterface(__uuidof(U), out->PutVoid());
    }

  private:
    T* m_ptr = nullptr;
};

// Owns one BSTR.
class UniqueBstr {
  public:
    UniqueBstr() = default;
    explicit UniqueBstr(std::u16string_view text)
        : m_bstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                   static_cast<UINT>(text.size()))) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        std::swap(m_bstr, other.m_bstr);
        return *this;
    }
    ~UniqueBstr() { SysFreeString(m_bstr); }

    BSTR Get() const { return m_bstr; }
    BSTR* Put() {
        SysFreeString(std::exchange(m_bstr, nullptr));
        return &m_bstr;
    }
    BSTR Detach() { return std::exchange(m_bstr, nullptr); }

  private:
    BSTR m_bstr = nullptr;
};

// Owns one open registry key.
class UniqueHkey {
  public:
    UniqueHkey() = default;
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;
    UniqueHkey(UniqueHkey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    UniqueHkey& operator=(UniqueHkey&& other) noexcept {
        std::swap(m_key, other.m_key);
        return *this;
    }
    ~UniqueHkey() { Reset(); }

    void Reset() {
        if (HKEY k = std::exchange(m_key, nullptr)) {
            RegCloseKey(k);
        }
    }
    HKEY Get() const { return m_key; }
    HKEY* Put() {
        Reset();
        return &m_key;
    }

  private:
    HKEY m_key = nullptr;
};

// A BSTR's text (a null BSTR is the empty string; wchar_t is 16 bits wide on Windows).
inline std::u16string_view BstrText(BSTR bstr) {
    if (bstr == nullptr) {
        return {};
    }
    return {reinterpret_cast<const char16_t*>(bstr), SysStringLen(bstr)};
}

// A new BSTR with `text`; the caller owns it. Null when allocation fails.
inline BSTR NewBstr(std::u16string_view text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

inline std::wstring WideText(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

}  // namespace miraxld::com
