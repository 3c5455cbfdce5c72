#include "controls/SystemColor.h"

#include <algorithm>

namespace vigilux::controls {

QColor systemColor(SysColor index) {
    switch (index) {
    case SysColor::BtnFace:
        return {234, 234, 234};
    case SysColor::BtnShadow:
        return {160, 160, 160};
    case SysColor::BtnText:
        return {20, 20, 20};
    case SysColor::BtnHighlight:
        return {255, 255, 255};
    case SysColor::DarkShadow3D:
        return {105, 105, 105};
    case SysColor::Light3D:
        return {227, 227, 227};
    case SysColor::InfoText:
        return {0, 0, 0};
    case SysColor::InfoBack:
        return {255, 255, 225};
    }
    return {0, 0, 0};
}

QColor offsetColor(const QColor& color, int amount) {
    const auto clamp = [amount](int channel) { return std::clamp(channel + amount, 0, 255); };
    return {clamp(color.red()), clamp(color.green()), clamp(color.blue())};
}

} // namespace vigilux::controls
