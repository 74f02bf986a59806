#include "audio_token.h"

#include <transport/protocol_message.h>

#include <cstdio>
#include <cstring>

namespace ostrel {

namespace {

// At most width - 1 characters of a text field of inWidth bytes, NUL-padded.
template <std::size_t Width>
void copyField(char (&out)[Width], const char* in, std::size_t inWidth) {
    std::memset(out, 0, Width);
    for (std::size_t i = 0; i + 1 < Width && i < inWidth && in[i] != '\0'; ++i) out[i] = in[i];
}

} // namespace

AudioConnectionBlock makeConnectionBlock(const MediaConfig& config) {
    AudioConnectionBlock block{};
    copyField(block.cameraAddress, config.cameraAddress, sizeof config.cameraAddress);
    block.controlPort = config.controlPort;
    block.connectTimeout = config.connectTimeoutSeconds;
    copyField(block.userName, config.userName, sizeof config.userName);
    copyField(block.password, config.password, sizeof config.password);
    return block;
}

std::array<uint8_t, kTokenBlockSize> buildTokenRequest(const AudioConnectionBlock& block) {
    std::array<uint8_t, kTokenBlockSize> request{};
    std::memcpy(request.data(), block.userName, 32);
    transport::putUint32Le(request.data() + 32, kTokenLoginCode);
    std::memcpy(request.data() + 64, block.password, 64);
    return request;
}

TokenReply parseTokenReply(const uint8_t (&reply)[kTokenBlockSize]) {
    TokenReply r;
    r.granted = transport::getUint32Le(reply) == 0;
    std::memcpy(r.holder.data(), reply + 8, 4);
    return r;
}

void formatHolder(const std::array<uint8_t, 4>& a, char* out) {
    std::snprintf(out, kHolderTextSize, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

} // namespace ostrel
