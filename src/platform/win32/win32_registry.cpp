// Read access to HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_services.h"

namespace miraxld::win32 {

namespace {

// A value can grow between the size query and the read; a few retries cover a concurrent
// writer without looping for ever on a hostile one.
constexpr int kReadAttempts = 4;

// Text up to the first NUL of `bytes` bytes of UTF-16, never beyond what was read (registry
// strings need not be terminated, and an odd trailing byte is no character).
std::u16string TextOf(const std::vector<wchar_t>& buffer, DWORD bytes) {
    const size_t chars = std::min<size_t>(bytes / sizeof(wchar_t), buffer.size());
    size_t length = 0;
    while (length < chars && buffer[length] != L'\0') {
        ++length;
    }
    return FromWide(std::wstring_view(buffer.data(), length));
}

LONG OpenForRead(std::u16string_view keyPath, UniqueHkey* key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath).c_str(), 0, KEY_READ, key->Put());
}

class SystemRegistry : public IRegistry {
  public:
    long QueryString(std::u16string_view keyPath, std::u16string_view valueName,
                     std::u16string* data) override {
        UniqueHkey key;
        LONG status = OpenForRead(keyPath, &key);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        const std::wstring name = Wide(valueName);
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            DWORD size = 0;
            status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
            DWORD read = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
            status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(buffer.data()), &read);
            if (status == ERROR_SUCCESS) {
                if (data != nullptr) {
                    *data = TextOf(buffer, read);
                }
                return ERROR_SUCCESS;
            }
            if (status != ERROR_MORE_DATA) {
                return status;
            }
        }
        return status;
    }

    long EnumSubKeys(std::u16string_view keyPath, std::vector<std::u16string>* names) override {
        UniqueHkey key;
        LONG status = OpenForRead(keyPath, &key);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        DWORD maxNameLength = 0;
        status = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, &maxNameLength,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::vector<wchar_t> name(maxNameLength + 1);
        std::vector<std::u16string> found;
        int regrowths = 0;
        for (DWORD index = 0;;) {
            DWORD length = static_cast<DWORD>(name.size());
            status = RegEnumKeyExW(key.Get(), index, name.data(), &length, nullptr, nullptr,
                                   nullptr, nullptr);
            if (status == ERROR_MORE_DATA) {
                // A longer subkey appeared since the info query: grow and ask again.
                if (++regrowths > kReadAttempts) {
                    return status;
                }
                name.resize(name.size() * 2 + 256);
                continue;
            }
            if (status == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
            found.push_back(FromWide(std::wstring_view(name.data(), length)));
            ++index;
        }
        if (names != nullptr) {
            *names = std::move(found);
        }
        return ERROR_SUCCESS;
    }

    long EnumValues(std::u16string_view keyPath, std::vector<RegistryValue>* values) override {
        UniqueHkey key;
        LONG status = OpenForRead(keyPath, &key);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        DWORD maxNameLength = 0;
        DWORD maxDataBytes = 0;
        status = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, &maxNameLength, &maxDataBytes, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::vector<wchar_t> name(maxNameLength + 1);
        std::vector<wchar_t> data(maxDataBytes / sizeof(wchar_t) + 1);
        std::vector<RegistryValue> found;
        int regrowths = 0;
        for (DWORD index = 0;;) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            status = RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(data.data()), &dataBytes);
            if (status == ERROR_MORE_DATA) {
                // The value changed since the info query: grow both buffers and ask again.
                if (++regrowths > kReadAttempts) {
                    return status;
                }
                name.resize(name.size() * 2 + 256);
                data.resize(std::max<size_t>(data.size() * 2, dataBytes / sizeof(wchar_t) + 1));
                continue;
            }
            if (status == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
            found.push_back(
                {FromWide(std::wstring_view(name.data(), nameLength)), TextOf(data, dataBytes)});
            ++index;
        }
        if (values != nullptr) {
            *values = std::move(found);
        }
        return ERROR_SUCCESS;
    }
};

}  // namespace

IRegistry& Registry() {
    static SystemRegistry registry;
    return registry;
}

}  // namespace miraxld::win32
