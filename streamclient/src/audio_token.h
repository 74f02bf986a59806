// What travels on the audio-out token connection: the connection block taken
// from the connection settings, the token request and reply, and the audio
// messages.
#pragma once

#include <transport/contract.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace ostrel {

inline constexpr std::size_t kTokenBlockSize = 128;
inline constexpr uint32_t kTokenLoginCode = 2;
inline constexpr uint32_t kMessageKeepAlive = 48;
inline constexpr uint32_t kMessageRelease = 49;
inline constexpr uint32_t kMessageAudio = 55;
inline constexpr std::size_t kAudioPacketBytes = 4096;
// A keep-alive goes out before every twelfth audio packet.
inline constexpr uint32_t kPacketsBetweenKeepAlives = 10;
// Dotted IPv4 text with its NUL.
inline constexpr std::size_t kHolderTextSize = 16;

// Where the token connection goes and who asks (152 bytes).
struct AudioConnectionBlock {
    char cameraAddress[16];
    int32_t controlPort;
    int32_t connectTimeout; // carried, not used
    char userName[64];
    char password[64];
};
static_assert(sizeof(AudioConnectionBlock) == 152);
static_assert(offsetof(AudioConnectionBlock, controlPort) == 16);
static_assert(offsetof(AudioConnectionBlock, connectTimeout) == 20);
static_assert(offsetof(AudioConnectionBlock, userName) == 24);
static_assert(offsetof(AudioConnectionBlock, password) == 88);

AudioConnectionBlock makeConnectionBlock(const MediaConfig& config);

// The control login block with the audio-out login code.
std::array<uint8_t, kTokenBlockSize> buildTokenRequest(const AudioConnectionBlock& block);

struct TokenReply {
    bool granted = false;
    std::array<uint8_t, 4> holder{}; // IPv4 address in network order
};
TokenReply parseTokenReply(const uint8_t (&reply)[kTokenBlockSize]);

// "a.b.c.d" into out (kHolderTextSize bytes or more).
void formatHolder(const std::array<uint8_t, 4>& address, char* out);

} // namespace ostrel
