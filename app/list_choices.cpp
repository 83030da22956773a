// The list's buttons, and the state that keeps what they chose.
#include "app/list_choices.h"

#include <algorithm>

#include "app/playlist.h"
#include "app/resume_state.h"
#include "audio/audio_mixer.h"

namespace {

// The separation's steps on the button, from full to mono and round again.
constexpr int kSeparationStep = 25;

int nextSeparation(int percent) {
    const int from = std::clamp(percent, 0, kFullSeparation);
    return from == 0 ? kFullSeparation : (from - 1) / kSeparationStep * kSeparationStep;
}

}  // namespace

bool choicesToggleShuffle() {
    const bool on = !playlistShuffled();
    playlistSetShuffle(on, playlistCurrent());
    Settings made = resumeChoices();
    made.shuffle = on;
    resumeSetChoices(made);
    resumeSave();
    return on;
}

int choicesStepSeparation() {
    const int percent = nextSeparation(audioSeparation());
    audioSetSeparation(percent);
    Settings made = resumeChoices();
    made.separation = percent;
    resumeSetChoices(made);
    resumeSave();
    return percent;
}

RepeatMode choicesStepRepeat() {
    const RepeatMode now = playlistRepeat() == RepeatMode::kList  ? RepeatMode::kOne
                           : playlistRepeat() == RepeatMode::kOne ? RepeatMode::kNone
                                                                  : RepeatMode::kList;
    playlistSetRepeat(now);
    Settings made = resumeChoices();
    made.repeat = now;
    resumeSetChoices(made);
    resumeSave();
    return now;
}
