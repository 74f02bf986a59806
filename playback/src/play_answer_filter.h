// Which packets answer the latest PLAY of a replay session: every packet's
// replay header extension carries the low byte of the CSeq of the PLAY it
// answers, so packets of an earlier PLAY still on the wire are left out. A
// camera that does not number its answers (the same byte after every PLAY)
// shows it with its first packet after a new PLAY, which carries the
// discontinuity flag: from then on nothing is left out.
#pragma once

#include <cstdint>
#include <vector>

namespace playback {

class PlayAnswerFilter {
public:
    // A new PLAY was sent: the answers of the ones before are stale.
    void newPlay();
    // Whether a packet with this CSeq byte and discontinuity flag is kept.
    bool keep(uint8_t cseq, bool discontinuity);

private:
    bool numbered_ = true;       // the camera numbers its answers, as far as known
    int current_ = -1;           // the byte of the latest PLAY's answers; -1 before its first packet
    std::vector<uint8_t> stale_; // bytes of earlier PLAYs' answers (the last few)
};

} // namespace playback
