#include "decoder_binding.h"

namespace ostrel {

int chooseDecoderType(const platform::ProcessorInfo& info) {
    if (!info.ok) return 2;
    if (info.name.find("PXA") != std::string::npos) return 1;
    if (info.coreName.find("PXA") != std::string::npos) return 1;
    return 2;
}

} // namespace ostrel
