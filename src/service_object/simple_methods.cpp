// The methods that only report success, and ReadCharacterAtCursor.
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {
// CheckHealth and COFreezeEvents share this: success without touching ResultCodeExtended.
HResult ReportSuccess(CPOSLDisplay& so, int32_t* pRC) {
    return so.Finish(OPOS_SUCCESS, pRC);
}
}  // namespace

HResult CPOSLDisplay::CheckHealth(int32_t /*level*/, int32_t* pRC) {
    return ReportSuccess(*this, pRC);
}

// FreezeEvents itself is written through SetPropertyNumber.
HResult CPOSLDisplay::COFreezeEvents(bool /*freeze*/, int32_t* pRC) {
    return ReportSuccess(*this, pRC);
}

HResult CPOSLDisplay::ClearDescriptors(int32_t* pRC) {
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::DefineGlyph(int32_t /*glyphCode*/, std::u16string_view /*glyph*/,
                                  int32_t* pRC) {
    return Finish(OPOS_SUCCESS, pRC);
}

// pData and pString go back to the caller as they came.
HResult CPOSLDisplay::DirectIO(int32_t /*command*/, int32_t* /*pData*/, std::u16string* /*pString*/,
                               int32_t* pRC) {
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::SetDescriptor(int32_t /*descriptor*/, int32_t /*attribute*/, int32_t* pRC) {
    return Fail(OPOS_SUCCESS, 0, pRC);
}

HResult CPOSLDisplay::ResetStatistics(std::u16string_view /*statisticsBuffer*/, int32_t* pRC) {
    return Fail(OPOS_SUCCESS, 0, pRC);
}

HResult CPOSLDisplay::SetBitmap(int32_t /*bitmapNumber*/, std::u16string_view /*fileName*/,
                                int32_t /*width*/, int32_t /*alignmentX*/, int32_t /*alignmentY*/,
                                int32_t* pRC) {
    return Fail(OPOS_SUCCESS, 0, pRC);
}

// No comparison is made and nothing is stored into pResult.
HResult CPOSLDisplay::CompareFirmwareVersion(std::u16string_view /*firmwareFileName*/,
                                             int32_t* /*pResult*/) {
    m_resultCode = OPOS_SUCCESS;
    return kS_OK;
}

// Statistics are not kept: the buffer comes back as the caller passed it.
HResult CPOSLDisplay::RetrieveStatistics(std::u16string* /*pStatisticsBuffer*/) {
    return kS_OK;
}

// Leaves even ResultCode as the previous call set it.
HResult CPOSLDisplay::UpdateStatistics(std::u16string_view /*statisticsBuffer*/, int32_t* /*pRC*/) {
    return kS_OK;
}

HResult CPOSLDisplay::SetPropertyString(int32_t /*propIndex*/, std::u16string_view /*value*/) {
    return kS_OK;
}

HResult CPOSLDisplay::StatusUpdateEvent(int32_t /*status*/) {
    return kS_OK;
}

// No state check and no device traffic: the character comes from the window picture.
HResult CPOSLDisplay::ReadCharacterAtCursor(int32_t* pChar, int32_t* pRC) {
    const int window = m_currentWindow;
    const int row = m_cursorRow;
    const int column = m_cursorColumn;
    // The cursor mirrors are written without range checks elsewhere; never read outside the
    // window storage.
    if (pChar != nullptr && window >= 0 && window < kWindowCount && row >= 0 &&
        row < kWindowMaxRows && column >= 0 && column < kWindowMaxColumns) {
        *pChar = m_windows[window].At(row, column).code[0];
    }
    return Fail(OPOS_SUCCESS, 0, pRC);
}

}  // namespace miraxld
