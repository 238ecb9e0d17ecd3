// Code-page conversion with iconv, matching WideCharToMultiByte with its default flags for
// every character a code page contains.
//
// Each UTF-16 unit is converted on its own, so one unrepresentable character becomes exactly
// one default character ('?', as every code page here has) and the rest still converts:
// a surrogate (half of a character outside the BMP) is one '?' per unit, as Windows gives.
// A single-byte code page yields one byte per character and a double-byte one at most two;
// anything longer (glibc's CP1258 decomposes precomposed Vietnamese letters, for instance) is
// a character the code page does not hold, so it becomes '?' too.
//
// Difference from Windows: Windows also applies "best fit" mappings (U+0100 A-macron to 'A'
// in 1252, for example), which iconv does not have; those characters become '?' here.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/posix/posix_services.h"
#include "platform/registry_tree.h"

namespace miraxld::posix {

namespace {

struct CodePageName {
    int codePage;
    const char* iconvName;
    int maxBytes;  // bytes per character
};

// Windows code page numbers and glibc's names for the same tables. Pages Windows has but glibc
// lacks (720 Arabic, for one) are missing here and so convert to nothing, as an unknown code
// page does on Windows.
constexpr CodePageName kCodePages[] = {
    {437, "CP437", 1},        {737, "CP737", 1},        {775, "CP775", 1},
    {850, "CP850", 1},        {852, "CP852", 1},        {855, "CP855", 1},
    {857, "CP857", 1},        {858, "CP858", 1},        {860, "CP860", 1},
    {861, "CP861", 1},        {862, "CP862", 1},        {863, "CP863", 1},
    {864, "CP864", 1},        {865, "CP865", 1},        {866, "CP866", 1},
    {869, "CP869", 1},        {874, "CP874", 1},        {932, "CP932", 2},
    {936, "CP936", 2},        {949, "CP949", 2},        {950, "CP950", 2},
    {1250, "CP1250", 1},      {1251, "CP1251", 1},      {1252, "CP1252", 1},
    {1253, "CP1253", 1},      {1254, "CP1254", 1},      {1255, "CP1255", 1},
    {1256, "CP1256", 1},      {1257, "CP1257", 1},      {1258, "CP1258", 1},
    {20127, "ASCII", 1},      {28591, "ISO-8859-1", 1}, {28592, "ISO-8859-2", 1},
    {28595, "ISO-8859-5", 1}, {28597, "ISO-8859-7", 1}, {28605, "ISO-8859-15", 1},
    {65001, "UTF-8", 4},
};

constexpr char kDefaultChar = '?';
constexpr int kDefaultAnsiCodePage = 1252;
constexpr int kDefaultOemCodePage = 437;

const CodePageName* Find(int codePage) {
    for (const CodePageName& entry : kCodePages) {
        if (entry.codePage == codePage) {
            return &entry;
        }
    }
    return nullptr;
}

int CodePageFromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    return (*end == '\0' && number > 0 && number < 65536) ? static_cast<int>(number) : fallback;
}

// One open conversion descriptor, closed on destruction.
class Converter {
  public:
    explicit Converter(const char* target) : m_cd(iconv_open(target, "UTF-8")) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The bytes for one character, or nothing when the code page cannot represent it.
    std::string Convert(const std::string& utf8) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // fresh state per character
        char in[8] = {};
        char out[16] = {};
        utf8.copy(in, sizeof in);
        char* inPtr = in;
        size_t inLeft = utf8.size();
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0) {
            return {};
        }
        // Flushes what a stateful converter (CP1258) still holds back.
        if (iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            return {};
        }
        return std::string(out, static_cast<size_t>(outPtr - out));
    }

  private:
    iconv_t m_cd;
};

class IconvCodePages : public ICodePages {
  public:
    int AnsiCodePage() override {
        return CodePageFromEnvironment("MIRAXLD_ACP", kDefaultAnsiCodePage);
    }
    int OemCodePage() override {
        return CodePageFromEnvironment("MIRAXLD_OEMCP", kDefaultOemCodePage);
    }

    std::string ToMultiByte(int codePage, std::u16string_view text) override {
        const CodePageName* page = Find(codePage);
        if (page == nullptr || text.empty()) {
            return {};
        }
        // A descriptor is not safe for two threads at once; one lock serves every call
        // (conversions are short and rare next to the serial writes they feed).
        std::lock_guard lock(m_mutex);
        Converter* converter = ConverterFor(*page);
        if (converter == nullptr) {
            return {};
        }
        std::string bytes;
        for (char16_t unit : text) {
            if (unit >= 0xD800 && unit < 0xE000) {
                bytes.push_back(kDefaultChar);
                continue;
            }
            const std::string one = converter->Convert(Utf16ToUtf8(std::u16string_view(&unit, 1)));
            if (one.empty() || one.size() > static_cast<size_t>(page->maxBytes)) {
                bytes.push_back(kDefaultChar);
            } else {
                bytes += one;
            }
        }
        return bytes;
    }

  private:
    Converter* ConverterFor(const CodePageName& page) {
        auto found = m_converters.find(page.codePage);
        if (found == m_converters.end()) {
            auto converter = std::make_unique<Converter>(page.iconvName);
            found = m_converters.emplace(page.codePage, std::move(converter)).first;
        }
        return found->second->Valid() ? found->second.get() : nullptr;
    }

    std::mutex m_mutex;
    std::map<int, std::unique_ptr<Converter>> m_converters;
};

}  // namespace

ICodePages& CodePages() {
    static IconvCodePages pages;
    return pages;
}

}  // namespace miraxld::posix
