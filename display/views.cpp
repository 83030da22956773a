// The views' state between frames and their drawing at the tick's redraw
// point. The audio thread draws views 1 and 2 from the tick; the main thread
// draws view 4 and presents the screen; screen_mutex keeps them apart.
#include "display/views.h"

#include <algorithm>
#include <cstring>

#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/screen.h"
#include "display/textout.h"
#include "player/protracker_sequencer.h"

int display_mode = 0;
SDL_Surface* screen = nullptr;
SDL_Surface* background = nullptr;
std::mutex screen_mutex;
std::atomic<bool> screen_dirty{false};
int first_shown_channel = 0;
int colindex = 0;
int c = 0;
int colindex2 = 0;
int c2 = 0;

namespace {

// Where "n/N" stands with several modules: the right end of the line of the
// song name in view 1 and of the position line in views 2 and 4.
constexpr int kCounterY = 10;
constexpr int kCounterMargin = 4;

// "n/N" while the list has several modules, "" with one: then the screens
// are exactly the single module's.
char counter[kCounterMaxChars + 1] = "";

}  // namespace

int nextChannelGroup(int first, int channels) {
    const int next = first + kChannelsShown;
    return next < channels ? next : 0;
}

int firstShownChannel(int channels) { return first_shown_channel < channels ? first_shown_channel : 0; }

void viewsSetCounter(const char* text) {
    std::strncpy(counter, text, sizeof counter - 1);
    counter[sizeof counter - 1] = '\0';
}

bool viewsCounterShown() { return counter[0] != '\0'; }

void viewsDrawCounter(SDL_Surface* surface) {
    if (!counter[0] || !surface) return;
    const int width = kCellSize * static_cast<int>(std::strlen(counter));
    textOut(surface, kScreenWidth - kCounterMargin - width, kCounterY, counter, kWhite, 0, 0);
}

void viewsDrawTick() {
    if (display_mode != kViewPattern && display_mode != kViewMeters) return;
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (display_mode == kViewPattern) {
        drawPattern(screen, background, source);
    } else {
        drawSampleViewer(screen, source);
        if (source)
            for (Sample& sample : source->samples)
                if (sample.meter != 0) --sample.meter;
    }
    viewsDrawCounter(screen);
    screen_dirty = true;
}

void viewsNoteTriggered(int sample, int volume) {
    if (display_mode != kViewMeters || !source || sample < 1 || sample > kNumSamples) return;
    source->samples[sample - 1].meter = std::min(volume >> 1, kMaxMeter);
}

void viewsDrawScopes(Module* module) {
    if (display_mode != kViewScopes) return;
    drawQuadrascopes(screen, module);
    std::lock_guard<std::mutex> lock(screen_mutex);
    viewsDrawCounter(screen);
    screen_dirty = true;
}

void viewsNewModule() {
    first_shown_channel = 0;
    colindex = c = colindex2 = c2 = 0;
}

void viewsReset() {
    display_mode = 0;
    screen_dirty = false;
    counter[0] = '\0';
    viewsNewModule();
}

Platform headlessViewsPlatform() {
    Platform p = kHeadlessPlatform;
    p.draw_tick = viewsDrawTick;
    p.note_triggered = viewsNoteTriggered;
    p.reset_views = viewsReset;
    return p;
}
