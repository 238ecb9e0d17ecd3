#include "config/model_catalogue.h"

namespace miraxld {

std::u16string SettleModel(std::u16string_view, std::u16string_view,
                           std::u16string_view registryModel) {
    return std::u16string(registryModel);
}

uint16_t SettleBrand(std::u16string_view serviceProgId, std::u16string_view) {
    return serviceProgId == kProgIdOem ? kBrandOem : kBrandOwn;
}

void ApplyModelSettings(std::u16string_view, ModelSettings&) {}

}  // namespace miraxld
