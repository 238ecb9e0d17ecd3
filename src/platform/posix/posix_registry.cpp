// The registry as a text file (the format of platform/registry_tree.h) named by
// MIRAXLD_REGISTRY, read afresh on every call so that edits by tests and tools show at once.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/posix/posix_services.h"
#include "platform/registry_tree.h"

namespace miraxld::posix {

namespace {

// No variable, or no readable file, is an empty registry: every key is missing.
RegistryTree Load() {
    const char* path = std::getenv("MIRAXLD_REGISTRY");
    if (path == nullptr || *path == '\0') {
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return RegistryTree::Parse(text);
}

class FileRegistry : public IRegistry {
  public:
    long QueryString(std::u16string_view keyPath, std::u16string_view valueName,
                     std::u16string* data) override {
        return Load().QueryString(keyPath, valueName, data);
    }
    long EnumSubKeys(std::u16string_view keyPath, std::vector<std::u16string>* names) override {
        return Load().EnumSubKeys(keyPath, names);
    }
    long EnumValues(std::u16string_view keyPath, std::vector<RegistryValue>* values) override {
        return Load().EnumValues(keyPath, values);
    }
};

}  // namespace

IRegistry& Registry() {
    static FileRegistry registry;
    return registry;
}

}  // namespace miraxld::posix
