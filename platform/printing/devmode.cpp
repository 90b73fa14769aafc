#include "platform/printing/devmode.h"

#include <algorithm>

namespace plat {

DevMode MakeDevMode(std::string_view deviceName) {
    DevMode dm{};
    const size_t n = std::min(deviceName.size(), sizeof(dm.dmDeviceName) - 1);
    std::copy_n(deviceName.begin(), n, dm.dmDeviceName);
    dm.dmSpecVersion = kDmSpecVersion;
    dm.dmSize = static_cast<uint16_t>(kDevModeSize);
    dm.dmDriverExtra = 0;
    return dm;
}

}  // namespace plat
