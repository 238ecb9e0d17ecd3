#include "display/display_rules.h"

#include <algorithm>
#include <initializer_list>

namespace miraxld {

namespace {

bool OneOf(int value, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool IsModel(const CPOSLDisplay& so, std::u16string_view model) {
    return so.m_deviceModel == model;
}

bool IsKey(const CPOSLDisplay& so, std::u16string_view key) {
    return so.m_vidPid == key;
}

bool IsTwoLineCharacterModel(const CPOSLDisplay& so) {
    return IsModel(so, u"KT110") || IsModel(so, u"RMX110");
}

}  // namespace

bool IsUnicodeCapableFirmware(const CPOSLDisplay& so) {
    const int32_t f = so.m_firmwareVersion;
    return (IsModel(so, u"KT910") && f > 227000) || (IsModel(so, u"RMX910") && f > 150000);
}

bool SendsRowsRightToLeft(const CPOSLDisplay& so) {
    if (!OneOf(so.m_codePage, {1255, 1256})) {
        return false;
    }
    const int32_t f = so.m_firmwareVersion;
    return (IsKey(so, u"1d9c_0a03") && ((f > 223000 && f < 234000) || f < 212000)) ||
           (IsKey(so, u"1d9c_0a06") && f < 128000) || IsTwoLineCharacterModel(so);
}

bool NeedsRightToLeftPreorder(const CPOSLDisplay& so) {
    if (!OneOf(so.m_characterSet, {1255, 1256})) {
        return false;
    }
    const int32_t f = so.m_firmwareVersion;
    return ((IsKey(so, u"1d9c_0a03") || IsKey(so, u"1d9c_0a04")) &&
            ((f >= 225000 && f < 233000) || f <= 210000)) ||
           IsTwoLineCharacterModel(so);
}

bool RemapsDeviceCharacters(const CPOSLDisplay& so) {
    const int32_t f = so.m_firmwareVersion;
    return IsModel(so, u"KT910") && f >= 233000 && f < 236000 &&
           OneOf(so.m_characterSet, {1258, 1255, 852});
}

bool ShapesArabic(const CPOSLDisplay& so) {
    if (!OneOf(so.m_characterSet, {720, 864, 1256})) {
        return false;
    }
    const int32_t f = so.m_firmwareVersion;
    return (IsModel(so, u"KT910") && f > 206000 && f < 300000) ||
           (IsModel(so, u"RMX910") && f < 156000);
}

bool TakesHebrewDeviceCodes(const CPOSLDisplay& so) {
    const int32_t f = so.m_firmwareVersion;
    return (IsKey(so, u"1d9c_0a03") && f >= 233000 && f < 236000) ||
           (IsKey(so, u"1d9c_0a06") && f >= 128000);
}

}  // namespace miraxld
