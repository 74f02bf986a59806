#include "live/audio_out.h"

#include <QString>

#include "shell/shell.h"

namespace tavolin::ui {
namespace {

constexpr int kTalkingStreamingType = 2;
const QString kCaption = QStringLiteral("2-Way Audio");

}  // namespace

AudioOutStart startAudioOut(OstrelInterface* handle, int streamingType, UserPrompts& prompts, QWidget* parent) {
  if (streamingType != kTalkingStreamingType) return AudioOutStart::NotOffered;
  // A request that never reached the camera leaves the buffer as it was.
  char holder[32] = {};
  if (M_KGetAudioToken(handle, holder) == 0) {
    M_KFreeAudioToken(handle);
    holder[sizeof holder - 1] = '\0';
    const QString text = QStringLiteral("Get Audio Out Token Fail!\n %1 Take It!").arg(QString::fromUtf8(holder));
    prompts.showMessage(parent, text, kCaption, PromptButtons::Ok);
    return AudioOutStart::Refused;
  }
  if (M_KStartAudioTransfer(handle) == 0) {
    prompts.showMessage(parent, QStringLiteral("Audio Out Fail!"), kCaption, PromptButtons::Ok);
    stopAudioOut(handle);
    return AudioOutStart::Failed;
  }
  return AudioOutStart::Started;
}

void stopAudioOut(OstrelInterface* handle) {
  M_KStopAudioTransfer(handle);
  M_KFreeAudioToken(handle);
}

}  // namespace tavolin::ui
