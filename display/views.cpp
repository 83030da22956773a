// The views' state between frames and their drawing at the tick's redraw
// point. The audio thread draws views 1 and 2 from the tick; the main thread
// draws view 4 and presents the screen; screen_mutex keeps them apart.
#include "display/views.h"

#include <algorithm>
#include <cstring>

#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/screen.h"
#include "display/status_line.h"
#include "display/textout.h"
#include "platform/platform.h"
#include "player/engine.h"

int display_mode = 0;
SDL_Surface* screen = nullptr;
SDL_Surface* background = nullptr;
std::mutex screen_mutex;
std::atomic<bool> screen_dirty{false};
int first_shown_channel = 0;
int first_shown_instrument = 0;
int colindex = 0;
int c = 0;
int colindex2 = 0;
int c2 = 0;

namespace {

// What viewsDrawIdle last drew: the view, its groups and the status line.
struct IdlePicture {
    int view = 0;
    int channel = 0;
    int instrument = 0;
    char status[kStatusChars + 1] = "";
};
IdlePicture idle_drawn;

// Instrument n's meter is entry n - 1.
int meters[kMaxInstruments] = {};

}  // namespace

int nextChannelGroup(int first, int channels) {
    const int next = first + kChannelsShown;
    return next < channels ? next : 0;
}

int firstShownChannel(int channels) { return first_shown_channel < channels ? first_shown_channel : 0; }

int nextInstrumentGroup(int first, int instruments) {
    const int next = first + kMeterColumns;
    return next < instruments ? next : 0;
}

int firstShownInstrument(int instruments) {
    return first_shown_instrument < instruments ? first_shown_instrument : 0;
}

int viewsMeter(int instrument) {
    return instrument >= 1 && instrument <= kMaxInstruments ? meters[instrument - 1] : 0;
}

void viewsSetMeter(int instrument, int height) {
    if (instrument >= 1 && instrument <= kMaxInstruments) meters[instrument - 1] = std::clamp(height, 0, kMaxMeter);
}

void viewsDrawTick() {
    if (display_mode != kViewPattern && display_mode != kViewMeters) return;
    NowPlaying now;
    songDescribe(&now);
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (display_mode == kViewPattern) {
        drawPattern(screen, background, now);
    } else {
        drawSampleViewer(screen, now);
        if (now.shown)
            for (int& meter : meters)
                if (meter != 0) --meter;
    }
    statusDraw(screen, now);
    screen_dirty = true;
}

void viewsNoteTriggered(int instrument, int volume) {
    if (display_mode != kViewMeters) return;
    viewsSetMeter(instrument, std::min(volume >> 1, kMaxMeter));
}

void viewsDrawScopes() {
    if (display_mode != kViewScopes) return;
    NowPlaying now;
    ScopeVoice voices[kChannelsShown];
    {
        // The tick rewrites what plays: one consistent copy.
        AudioLock lock;
        songDescribe(&now);
        const int first = firstShownChannel(now.channels);
        songDescribeVoices(voices, first, std::min(kChannelsShown, now.channels - first));
    }
    // The audio lock is never held while waiting for the screen: the tick
    // takes them the other way.
    drawQuadrascopes(screen, now, voices);
    std::lock_guard<std::mutex> lock(screen_mutex);
    statusDraw(screen, now);
    screen_dirty = true;
}

void viewsDrawIdle() {
    const bool tick_view = display_mode == kViewPattern || display_mode == kViewMeters;
    if (display_mode != kViewNone && !(tick_view && statusPaused())) {
        idle_drawn = IdlePicture{};
        return;
    }
    NowPlaying now;
    {
        AudioLock lock;
        songDescribe(&now);
    }
    IdlePicture picture{display_mode, first_shown_channel, first_shown_instrument, ""};
    if (statusShown()) statusText(now, picture.status, sizeof picture.status);
    const bool view_changed = picture.view != idle_drawn.view || picture.channel != idle_drawn.channel ||
                              picture.instrument != idle_drawn.instrument;
    if (!view_changed && std::strcmp(picture.status, idle_drawn.status) == 0) return;
    idle_drawn = picture;
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (view_changed && display_mode == kViewPattern) drawPattern(screen, background, now);
    if (view_changed && display_mode == kViewMeters) drawSampleViewer(screen, now);
    statusDraw(screen, now);
    screen_dirty = true;
}

void viewsForgetIdle() { idle_drawn = IdlePicture{}; }

void viewsNewModule() {
    first_shown_channel = 0;
    first_shown_instrument = 0;
    std::fill(std::begin(meters), std::end(meters), 0);
    colindex = c = colindex2 = c2 = 0;
}

void viewsReset() {
    display_mode = 0;
    screen_dirty = false;
    statusReset();
    idle_drawn = IdlePicture{};
    viewsNewModule();
}

Platform headlessViewsPlatform() {
    Platform p = kHeadlessPlatform;
    p.draw_tick = viewsDrawTick;
    p.note_triggered = viewsNoteTriggered;
    p.reset_views = viewsReset;
    return p;
}
