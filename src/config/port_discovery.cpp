#include "config/port_discovery.h"

namespace miraxld {

PortChoiceOutcome ChoosePort(RegistryReader&, std::u16string_view, uint16_t, std::u16string_view,
                             PortChoice&) {
    return PortChoiceOutcome::kPortMissing;
}

}  // namespace miraxld
