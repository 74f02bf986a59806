// Turns one camera video message into a frame record: classification by the
// VOP coding type and the 44-byte header, with sequence headers in front of
// every intra picture.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fenwa10 {

inline constexpr std::size_t kMaxVideoPayload = 256000;
inline constexpr std::size_t kVideoMessageHeaderSize = 12;
inline constexpr std::size_t kCameraHeaderSize = 16;
inline constexpr std::size_t kMaxVideoMessage = kVideoMessageHeaderSize + kMaxVideoPayload;
// An intra record adds 47 bytes to its message, a predicted record 32.
inline constexpr std::size_t kIntraExtra = 47;
inline constexpr std::size_t kPredictedExtra = 32;
inline constexpr std::size_t kMaxRecord = kMaxVideoMessage + kIntraExtra;

enum class FrameClass { None, Intra, Predicted };

// Looks for a VOP start code at positions 0..100 and reads the coding type
// from the two top bits of the following byte; B and sprite VOPs are passed over.
FrameClass classifyMessage(const uint8_t* message, std::size_t length);

// What the record header takes from the configuration and the status bytes.
struct FrameFields {
    int32_t resolutionCode = 0;
    int32_t bitRateCode = 0;
    uint16_t frameRate = 0;
    uint16_t configValue = 0;
    uint8_t status = 1;
    uint8_t motion = 0;
    uint8_t digitalInput = 3;
};

// Remembered from the last intra picture for the predicted ones after it.
struct IntraMemory {
    uint8_t timeStamp[4] = {0, 0, 0, 0};
    uint8_t perFrame = 0;
};

// True when the configuration can build records (frame rate 1..30, code 0..5).
bool fieldsUsable(const FrameFields& fields);

// Size of the record a classified message of this length makes.
std::size_t recordSize(FrameClass kind, std::size_t messageLength);

// Bytes of a message that decide its class: the search looks at start codes
// beginning at positions 0 to 100.
inline constexpr std::size_t kClassifyBytes = 105;

// Where the message bytes that a record carries start in the message, and
// where they go in the record.
std::size_t messageDataStart(FrameClass kind);
std::size_t recordDataStart(FrameClass kind);

// Writes the record's header and sequence headers (everything before the
// message data) from the first messageDataStart() bytes of the message;
// length is the whole message's.
void buildRecordHead(const uint8_t* message, std::size_t length, FrameClass kind, const FrameFields& fields,
                     IntraMemory& memory, uint8_t* out);

// Writes the record into out (capacity at least recordSize()). The message
// must be at least kVideoMessageHeaderSize + kCameraHeaderSize bytes long.
// Returns the record length.
std::size_t buildRecord(const uint8_t* message, std::size_t length, FrameClass kind, const FrameFields& fields,
                        IntraMemory& memory, uint8_t* out);

} // namespace fenwa10
