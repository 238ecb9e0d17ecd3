// Owners for the Win32 handles of this layer, so no early return can leak one.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace miraxld::win32 {

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none",
// because CreateFileW reports failure with the latter and most other calls with the former.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_handle, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            CloseHandle(m_handle);
        }
        m_handle = handle;
    }

  private:
    HANDLE m_handle = nullptr;
};

// A registry key closed with RegCloseKey.
class UniqueHkey {
  public:
    UniqueHkey() = default;
    ~UniqueHkey() {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;

    HKEY Get() const { return m_key; }
    // For the out-parameter of RegOpenKeyExW; only called on an empty owner.
    HKEY* Put() { return &m_key; }

  private:
    HKEY m_key = nullptr;
};

// MinGW's wchar_t is UTF-16 like char16_t; the copy also gives the terminating NUL the API needs.
inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

}  // namespace miraxld::win32
