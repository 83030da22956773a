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

// Keeps value as the last choice made with the buttons of the setting
// field names, written to the state at once.
template <typename Value>
void keepChoice(std::optional<Value> Settings::*field, Value value) {
    Settings made = resumeChoices();
    made.*field = value;
    resumeSetChoices(made);
    resumeSave();
}

}  // namespace

bool choicesToggleShuffle() {
    const bool on = !playlistShuffled();
    playlistSetShuffle(on, playlistCurrent());
    keepChoice(&Settings::shuffle, on);
    return on;
}

int choicesStepSeparation() {
    const int percent = nextSeparation(audioSeparation());
    audioSetSeparation(percent);
    keepChoice(&Settings::separation, percent);
    return percent;
}

RepeatMode choicesStepRepeat() {
    const RepeatMode now = playlistRepeat() == RepeatMode::kList  ? RepeatMode::kOne
                           : playlistRepeat() == RepeatMode::kOne ? RepeatMode::kNone
                                                                  : RepeatMode::kList;
    playlistSetRepeat(now);
    keepChoice(&Settings::repeat, now);
    return now;
}
