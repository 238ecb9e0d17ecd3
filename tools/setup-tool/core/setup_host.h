// What the setup commands need from the system: the device keys in each registry view, whether
// the service object is registered there, and files. The Win32 registry serves it in the tool;
// the native tests use a map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device_entry.h"

namespace miraxld::setup {

// A registry view of 64-bit Windows: 32-bit programs (the shipped DLL) read the 32-bit one.
enum class View : uint8_t { k32 = 32, k64 = 64 };

class ISetupHost {
  public:
    virtual ~ISetupHost() = default;
    // The views this system has, 32-bit first (32-bit Windows has only that one).
    virtual std::vector<View> Views() = 0;
    // Whether the service object's class is registered in the view.
    virtual bool ServiceRegistered(View view) = 0;
    // Every device key of the Line Display branch in the view, whoever serves it, with the
    // text values of kEntryValueNames.
    virtual std::vector<DeviceEntry> Entries(View view) = 0;
    // Creates or updates the key: its values of kEntryValueNames become exactly the entry's;
    // other values stay. Returns empty, or why it failed.
    virtual std::string Write(View view, const DeviceEntry& entry) = 0;
    // Deletes the key. Returns empty, or why it failed.
    virtual std::string Remove(View view, std::u16string_view name) = 0;

    virtual std::optional<std::string> ReadFile(std::u16string_view path) = 0;
    virtual std::string WriteFile(std::u16string_view path, std::string_view bytes) = 0;
};

}  // namespace miraxld::setup
