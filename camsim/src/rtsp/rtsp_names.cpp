#include "camsim/rtsp_faults.h"

namespace camsim {

namespace {

struct FaultName {
    RtspFault fault;
    const char* name;
};

constexpr FaultName kFaultNames[] = {
    {RtspFault::None, "none"},
    {RtspFault::SilentAfterConnect, "silent"},
    {RtspFault::Trickle, "trickle"},
    {RtspFault::StallAfterPlay, "stall"},
    {RtspFault::Unauthorized, "401"},
    {RtspFault::Garbage, "garbage"},
    {RtspFault::OversizedFrame, "oversized"},
    {RtspFault::CloseMidFrame, "close-mid-frame"},
    {RtspFault::NoParameterSets, "no-parameter-sets"},
    {RtspFault::UnsupportedCodec, "unsupported-codec"},
    {RtspFault::BasicOnly, "basic-only"},
    {RtspFault::BasicAfterDigest, "basic-after-digest"},
    {RtspFault::CloseAfterUnauthorized, "close-after-401"},
    {RtspFault::BasicOnBackChannel, "basic-on-back-channel"},
    {RtspFault::SessionTimeout, "session-timeout"},
    {RtspFault::GetParameterRefused, "get-parameter-454"},
    {RtspFault::GetParameterOfferedRefused, "get-parameter-454-offered"},
    {RtspFault::ContentBaseDoubleScheme, "content-base-double-scheme"},
    {RtspFault::ContentBaseWithoutScheme, "content-base-without-scheme"},
    {RtspFault::TimestampJump, "timestamp-jump"},
    {RtspFault::ClockStepBack, "clock-step-back"},
    {RtspFault::OneClientAtATime, "one-client"},
};

} // namespace

bool parseRtspFault(const std::string& text, RtspFault& fault) {
    for (const auto& f : kFaultNames) {
        if (text == f.name) {
            fault = f.fault;
            return true;
        }
    }
    return false;
}

const char* rtspFaultName(RtspFault fault) {
    for (const auto& f : kFaultNames) {
        if (f.fault == fault) return f.name;
    }
    return "none";
}

} // namespace camsim
