#include "decoder_plugin.h"

#include "platform/diagnostics.h"
#include "platform/function_table.h"

#include <cstdint>

namespace ostrel {

void DecoderPlugin::bind(const platform::ProcessorInfo& processor, const std::array<std::string, 2>& names,
                         bool deferInstance) {
    const std::string& name = names[static_cast<std::size_t>(chooseDecoderType(processor) - 1)];
    if (!module_.load(name)) {
        platform::diagnose("Ostrel-M: decoder plug-in " + name +
                           " could not be loaded (no pictures will be shown): " + module_.error());
        return;
    }
    if (const char* missing = platform::bindFunctionTable(module_, table_); missing != nullptr) {
        platform::diagnose("Ostrel-M: decoder plug-in " + module_.path() + " lacks " + missing +
                           " and is not used (no pictures will be shown)");
        table_ = {};
        module_.unload();
        return;
    }
    if (instance_ == nullptr && !deferInstance) {
        instance_ = table_.init(nullptr);
        codec_ = kDecoderCodecMpeg4;
    }
}

bool DecoderPlugin::useCodec(DecoderCodec codec) {
    if (instance_ != nullptr && codec_ == codec) return true;
    if (table_.init == nullptr) return false;
    if (instance_ != nullptr && table_.exit != nullptr) table_.exit(instance_);
    const DecoderSetup setup{sizeof(DecoderSetup), kDecoderSetupVersion, codec};
    instance_ = table_.init(&setup);
    codec_ = codec;
    planesRefused_ = false;
    if (instance_ == nullptr)
        platform::diagnose("Ostrel-M: the decoder plug-in makes no decoder for codec " + std::to_string(codec) +
                           " (no pictures will be shown)");
    return instance_ != nullptr;
}

void DecoderPlugin::unbind() {
    if (instance_ != nullptr && table_.exit != nullptr) table_.exit(instance_);
    instance_ = nullptr;
    codec_ = 0;
    module_.unload();
    table_ = {};
}

const uint8_t* DecoderPlugin::decode(int32_t width, int32_t height, const uint8_t* data, int32_t length) const {
    if (instance_ == nullptr || table_.decode == nullptr) return nullptr;
    return static_cast<const uint8_t*>(table_.decode(instance_, width, height, data, length, 0, 0, 0));
}

bool DecoderPlugin::writesIntoCallersBuffer() const {
    return instance_ != nullptr && table_.decodeFrame != nullptr && table_.writePicture != nullptr;
}

bool DecoderPlugin::decodeFrame(int32_t width, int32_t height, const uint8_t* data, int32_t length,
                                PictureSize& size) const {
    if (!writesIntoCallersBuffer()) return false;
    size = {};
    if (table_.decodeFrame(instance_, width, height, data, length, &size.width, &size.height) != 1) return false;
    return size.width > 0 && size.height > 0;
}

bool DecoderPlugin::writePicture(uint8_t* pixels, std::size_t stride) const {
    if (!writesIntoCallersBuffer() || stride > static_cast<std::size_t>(INT32_MAX)) return false;
    return table_.writePicture(instance_, pixels, static_cast<int32_t>(stride)) == 1;
}

int DecoderPlugin::writePlanes(const platform::PlanarTarget& planes) {
    if (!writesPlanes() || planes.yStride > static_cast<std::size_t>(INT32_MAX) ||
        planes.uvStride > static_cast<std::size_t>(INT32_MAX))
        return 0;
    const int32_t range = table_.writePlanes(instance_, planes.y, static_cast<int32_t>(planes.yStride), planes.u,
                                             planes.v, static_cast<int32_t>(planes.uvStride));
    if (range == 1 || range == 2) return range;
    planesRefused_ = true;
    return 0;
}

PictureSize DecoderPlugin::sourceSize() const {
    PictureSize size;
    if (instance_ == nullptr || table_.sourceSize == nullptr ||
        table_.sourceSize(instance_, &size.width, &size.height) != 1 || size.width <= 0 || size.height <= 0)
        return {};
    return size;
}

} // namespace ostrel
