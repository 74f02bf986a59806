// PTZ, digital-output and serial-setting requests carried to the camera
// through the transport's command call.
#pragma once

#include <cstdint>

#include <ostrel/stream_client.h>

struct OstrelInterface;

namespace ostrel {

// Transport command types.
inline constexpr int32_t kCommandSerialBytes = 11;
inline constexpr int32_t kCommandDigitalOutput = 13;
inline constexpr int32_t kCommandSerialSetting = 17;

// Opens or closes the PTZ context. 1 when a context exists afterwards (or,
// for enable 0, always).
int32_t enablePtz(OstrelInterface& self, int32_t enable, const PTZEnableInfo* info);

// Closes the PTZ context, if any.
void releasePtz(OstrelInterface& self);

// True when PTZ requests may go out: a PTZ context exists and the
// connection is not video only.
bool ptzAllowed(const OstrelInterface& self);

// Asks the PTZ library for one command and sends its bytes. 0 when the
// protocol lacks the command or the send failed.
int32_t ptzCommand(OstrelInterface& self, const char* name, int32_t param);

// A diagonal move; without the diagonal command, the vertical one, 10 ms,
// then the horizontal one.
int32_t ptzDiagonal(OstrelInterface& self, const char* diagonal, const char* vertical, const char* horizontal,
                    int32_t speed);

// Stops a move: PANTILTSTOP, or the moves of the direction at speed 0.
int32_t ptzStop(OstrelInterface& self, int32_t direction);

// Hands one command record to the transport; 0 without a transport.
int32_t sendTransportCommand(OstrelInterface& self, int32_t type, const uint8_t* data, int32_t length);

} // namespace ostrel
