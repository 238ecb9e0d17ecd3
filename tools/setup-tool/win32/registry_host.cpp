#include "win32/registry_host.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "com/com_headers.h"
#include "config/registry_reader.h"
#include "platform/registry_tree.h"
#include "platform/win32/win32_handles.h"

namespace miraxld::setup {

namespace {

using win32::FromWide;
using win32::UniqueHkey;
using win32::Wide;

REGSAM ViewFlag(View view) {
    return view == View::k32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

// "Access is denied. (5)"
std::string SystemMessage(LONG status) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message = text != nullptr ? text : L"";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
        message.pop_back();
    }
    return Utf16ToUtf8(FromWide(message)) + " (" + std::to_string(status) + ")";
}

// The text values of an open key; other types are left out.
std::vector<RegistryValue> TextValues(HKEY key) {
    std::vector<RegistryValue> values;
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS) {
        return values;
    }
    std::vector<wchar_t> name(maxName + 1);
    std::vector<wchar_t> data(maxData / sizeof(wchar_t) + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &dataBytes) != ERROR_SUCCESS) {
            return values;
        }
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::wstring_view text(data.data(), dataBytes / sizeof(wchar_t));
            text = text.substr(0, text.find(L'\0'));
            values.push_back({FromWide({name.data(), nameLength}), FromWide(text)});
        }
    }
}

class RegistryHost final : public ISetupHost {
  public:
    std::vector<View> Views() override {
        BOOL wow64 = FALSE;
        if (sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) {
            return {View::k32, View::k64};
        }
        return {View::k32};
    }

    bool ServiceRegistered(View view) override {
        wchar_t clsid[40] = {};
        StringFromGUID2(CLSID_POSLDisplay, clsid, 40);
        const std::wstring path = L"CLSID\\" + std::wstring(clsid) + L"\\InprocServer32";
        UniqueHkey key;
        return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | ViewFlag(view),
                             key.Put()) == ERROR_SUCCESS;
    }

    std::vector<DeviceEntry> Entries(View view) override {
        std::vector<DeviceEntry> entries;
        UniqueHkey branch;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kLineDisplayBranch).c_str(), 0,
                          KEY_READ | ViewFlag(view), branch.Put()) != ERROR_SUCCESS) {
            return entries;
        }
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(branch.Get(), index, name, &length, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS) {
                return entries;
            }
            UniqueHkey device;
            if (RegOpenKeyExW(branch.Get(), name, 0, KEY_READ | ViewFlag(view), device.Put()) ==
                ERROR_SUCCESS) {
                DeviceEntry entry{FromWide({name, length}), {}};
                for (const RegistryValue& value : TextValues(device.Get())) {
                    entry.Set(value.name, value.data);
                }
                entries.push_back(std::move(entry));
            }
        }
    }

    std::string Write(View view, const DeviceEntry& entry) override {
        UniqueHkey key;
        LONG status =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(DeviceKeyPath(entry.name)).c_str(), 0, nullptr,
                            0, KEY_READ | KEY_WRITE | ViewFlag(view), nullptr, key.Put(), nullptr);
        for (size_t i = 0; status == ERROR_SUCCESS && i < kEntryValueNames.size(); ++i) {
            const std::wstring name = Wide(kEntryValueNames[i]);
            if (entry.Has(kEntryValueNames[i])) {
                const std::wstring data = Wide(entry.Get(kEntryValueNames[i]));
                status = RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(data.c_str()),
                                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
            } else if (status = RegDeleteValueW(key.Get(), name.c_str());
                       status == ERROR_FILE_NOT_FOUND) {
                status = ERROR_SUCCESS;
            }
        }
        return status == ERROR_SUCCESS ? "" : SystemMessage(status);
    }

    std::string Remove(View view, std::u16string_view name) override {
        UniqueHkey branch;
        LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kLineDisplayBranch).c_str(), 0,
                                    KEY_READ | KEY_WRITE | DELETE | ViewFlag(view), branch.Put());
        if (status == ERROR_SUCCESS) {
            status = RegDeleteTreeW(branch.Get(), Wide(name).c_str());
        }
        return status == ERROR_SUCCESS ? "" : SystemMessage(status);
    }

    std::optional<std::string> ReadFile(std::u16string_view path) override {
        const File file(_wfopen(Wide(path).c_str(), L"rb"), &std::fclose);
        if (!file) {
            return std::nullopt;
        }
        std::string bytes;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
            bytes.append(buffer, n);
        }
        return std::ferror(file.get()) != 0 ? std::nullopt
                                            : std::optional<std::string>(std::move(bytes));
    }

    std::string WriteFile(std::u16string_view path, std::string_view bytes) override {
        File file(_wfopen(Wide(path).c_str(), L"wb"), &std::fclose);
        if (!file) {
            return std::strerror(errno);
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        return (std::fclose(file.release()) == 0 && written) ? "" : "the file could not be written";
    }

  private:
    using File = std::unique_ptr<FILE, int (*)(FILE*)>;
};

}  // namespace

std::unique_ptr<ISetupHost> CreateRegistryHost() {
    return std::make_unique<RegistryHost>();
}

}  // namespace miraxld::setup
