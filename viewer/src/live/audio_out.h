// Talking to the camera: the audio-out token, then the microphone stream.
// Only one client at a time may talk to a camera; a refusal names the client
// that holds the token.
#pragma once

#include <ostrel/stream_client.h>

class QWidget;

namespace tavolin::ui {

class UserPrompts;

enum class AudioOutStart {
  NotOffered,  // the camera's protocol carries no audio out; nothing was asked
  Refused,     // another client holds the token; the user was told who
  Failed,      // the token came, the microphone did not; the user was told
  Started,
};

// Gets the token and starts sending the microphone. Every failure frees the
// token again and shows its message in a box owned by `parent`.
AudioOutStart startAudioOut(OstrelInterface* handle, int streamingType, UserPrompts& prompts, QWidget* parent);

// Stops sending and gives the token back.
void stopAudioOut(OstrelInterface* handle);

}  // namespace tavolin::ui
