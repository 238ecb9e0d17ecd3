#include "service_object/pos_ldisplay.h"

namespace miraxld {

HResult CPOSLDisplay::OpenService(std::u16string_view, std::u16string_view deviceName, IEventTarget* dispatch, int32_t* pRC) {
    m_deviceName = deviceName;
    m_eventSink.Attach(dispatch);
    return Fail(OPOS_SUCCESS, 0, pRC);
}

HResult CPOSLDisplay::CloseService(int32_t* pRC) {
    m_port.Close();
    return Finish(OPOS_SUCCESS, pRC);
}

}  // namespace miraxld
