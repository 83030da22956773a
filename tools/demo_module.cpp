// The demo module: a short piece in A minor for four channels, with
// its six instruments synthesized here, so that the player has something of
// its own to play. About fifty seconds at speed 6 / 125 BPM, then it jumps
// back to the start.
//
// Channels: 0 lead (left), 1 bass (right), 2 arpeggiated chords (right),
// 3 drums (left). Rows are sixteenth notes; a pattern is four bars.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "player/protracker_sequencer.h"
#include "tools/module_sets.h"
#include "tools/modwriter.h"

namespace {

using modwriter::Cell;
using modwriter::SampleDesc;
using modwriter::Song;

constexpr double kPi = 3.14159265358979323846;

// Playback rate, in sample bytes per second, of a note at finetune 0.
double noteRate(const char* note) { return kPaulaClock / (2.0 * modwriter::notePeriod(note)); }

// Scales a waveform so that its largest magnitude is peak, as signed bytes.
std::vector<std::int8_t> toBytes(const std::vector<double>& wave, double peak) {
    double largest = 1e-9;
    for (double x : wave) largest = std::max(largest, std::fabs(x));
    std::vector<std::int8_t> out;
    out.reserve(wave.size());
    for (double x : wave) {
        const long value = std::lround(x * peak / largest);
        out.push_back(static_cast<std::int8_t>(std::max(-128L, std::min(127L, value))));
    }
    return out;
}

// Deterministic noise in -1..1 (xorshift), so that every build writes the same file.
class Noise {
  public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_ = 0x2545F491u;
};

// --- Instruments. Melodic ones are built from single cycles by adding
// harmonics (so nothing aliases inside the sample) and loop at the end.

// Lead: a pulse whose width sweeps from 50% to 20% and back over 96 cycles
// of 32 bytes; the whole sweep loops. C-2 sounds near middle C.
SampleDesc leadSample() {
    constexpr int kCycle = 32, kCycles = 96;
    std::vector<double> wave;
    for (int c = 0; c < kCycles; ++c) {
        const double duty = 0.5 - 0.3 * (1.0 - std::cos(2.0 * kPi * c / kCycles)) / 2.0;
        for (int i = 0; i < kCycle; ++i) {
            const double t = static_cast<double>(i) / kCycle;
            double x = 0;
            for (int k = 1; k < kCycle / 2; ++k)
                x += 2.0 / (k * kPi) * std::sin(k * kPi * duty) * std::cos(2.0 * kPi * k * (t - duty / 2.0));
            wave.push_back(x);
        }
    }
    SampleDesc s;
    s.name = "pwm lead";
    s.data = toBytes(wave, 96);
    s.volume = 44;
    s.loop_start_words = 0;
    s.loop_length_words = kCycle * kCycles / 2;
    return s;
}

// One cycle of a sawtooth through a resonant low-pass whose cutoff is given
// in harmonics.
std::vector<double> filteredSawCycle(int length, double cutoff) {
    std::vector<double> cycle(static_cast<std::size_t>(length), 0.0);
    for (int k = 1; k < length / 2; ++k) {
        const double ratio = k / cutoff;
        const double gain = 1.0 / std::sqrt(1.0 + ratio * ratio * ratio * ratio) +
                            0.8 * std::exp(-(k - cutoff) * (k - cutoff) / 2.0);
        for (int i = 0; i < length; ++i)
            cycle[static_cast<std::size_t>(i)] += gain / k * std::sin(2.0 * kPi * k * i / length);
    }
    return cycle;
}

// Bass: 64-byte cycles of a filtered saw whose filter closes over the first
// 24 cycles (the pluck), then one closed cycle that loops. A-1 is an A at 110 Hz.
SampleDesc bassSample() {
    constexpr int kCycle = 64, kAttack = 24;
    std::vector<double> wave;
    for (int c = 0; c <= kAttack; ++c) {
        const std::vector<double> cycle = filteredSawCycle(kCycle, 3.0 + 14.0 * std::exp(-c / 6.0));
        wave.insert(wave.end(), cycle.begin(), cycle.end());
    }
    SampleDesc s;
    s.name = "filtered saw bass";
    s.data = toBytes(wave, 110);
    s.volume = 54;
    s.loop_start_words = kCycle * kAttack / 2;
    s.loop_length_words = kCycle / 2;
    return s;
}

// Chords: 32-byte cycles of a brighter saw that fades and darkens over 64
// cycles to a quiet loop, so that arpeggios ring on after each stab.
SampleDesc pluckSample() {
    constexpr int kCycle = 32, kDecay = 64;
    std::vector<double> wave;
    for (int c = 0; c <= kDecay; ++c) {
        const double level = 0.3 + 0.7 * std::exp(-c / 12.0);
        std::vector<double> cycle = filteredSawCycle(kCycle, 3.0 + 9.0 * std::exp(-c / 20.0));
        for (double x : cycle) wave.push_back(level * x);
    }
    SampleDesc s;
    s.name = "pluck";
    s.data = toBytes(wave, 100);
    s.volume = 40;
    s.loop_start_words = kCycle * kDecay / 2;
    s.loop_length_words = kCycle / 2;
    return s;
}

// Kick, made to be played at C-2: a sine falling from 170 to 48 Hz that
// dies away in 0.3 s. Higher notes with a slide down make toms of it.
SampleDesc kickSample() {
    const double rate = noteRate("C-2");
    const int length = static_cast<int>(0.3 * rate) & ~1;
    std::vector<double> wave;
    double phase = 0;
    for (int n = 0; n < length; ++n) {
        const double t = n / rate;
        const double freq = 48.0 + 122.0 * std::exp(-t / 0.025);
        const double tail = 1.0 - std::pow(static_cast<double>(n) / length, 4.0);
        wave.push_back(std::sin(phase) * std::exp(-t / 0.12) * tail);
        phase += 2.0 * kPi * freq / rate;
    }
    SampleDesc s;
    s.name = "kick";
    s.data = toBytes(wave, 124);
    s.volume = 64;
    return s;
}

// Snare, made to be played at C-3: two short tones for the shell and a
// longer burst of brightened noise for the wires.
SampleDesc snareSample() {
    const double rate = noteRate("C-3");
    const int length = static_cast<int>(0.22 * rate) & ~1;
    Noise noise;
    std::vector<double> wave;
    double previous = 0;
    for (int n = 0; n < length; ++n) {
        const double t = n / rate;
        const double white = noise.next();
        const double bright = white - 0.5 * previous;
        previous = white;
        const double shell = 0.7 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t / 0.035) +
                             0.35 * std::sin(2.0 * kPi * 330.0 * t) * std::exp(-t / 0.025);
        const double tail = 1.0 - std::pow(static_cast<double>(n) / length, 4.0);
        wave.push_back((shell + 0.8 * bright * std::exp(-t / 0.06)) * tail);
    }
    SampleDesc s;
    s.name = "snare";
    s.data = toBytes(wave, 118);
    s.volume = 60;
    return s;
}

// Hi-hat, made to be played at C-3: high-passed noise ringing for a quarter
// of a second (open); a note cut after one tick makes it a closed hat.
SampleDesc hatSample() {
    const double rate = noteRate("C-3");
    const int length = static_cast<int>(0.25 * rate) & ~1;
    Noise noise;
    std::vector<double> wave;
    double x1 = 0, x2 = 0;
    for (int n = 0; n < length; ++n) {
        const double t = n / rate;
        const double white = noise.next();
        const double high = white - 2.0 * x1 + x2;  // second difference: keeps the top octave
        x2 = x1;
        x1 = white;
        const double tail = 1.0 - std::pow(static_cast<double>(n) / length, 4.0);
        wave.push_back(high * std::exp(-t / 0.07) * tail);
    }
    SampleDesc s;
    s.name = "hihat";
    s.data = toBytes(wave, 100);
    s.volume = 36;
    return s;
}

// --- Writing parts.

enum SampleNumber { kLead = 1, kBass, kPluck, kKick, kSnare, kHat };
enum ChannelNumber { kLeadChannel = 0, kBassChannel, kChordChannel, kDrumChannel };

// A drum letter: the note it is played at, its sample and its usual command.
struct Drum {
    char letter;
    const char* note;
    int sample;
    const char* command;
};
constexpr std::array<Drum, 10> kDrums = {{
    {'K', "C-2", kKick, "000"},
    {'S', "C-3", kSnare, "000"},
    {'g', "C-3", kSnare, "906"},   // ghost note: starts into the snare's tail
    {'r', "C-3", kSnare, "E93"},   // two hits in the row
    {'R', "C-3", kSnare, "E92"},   // three hits in the row
    {'h', "C-3", kHat, "EC1"},     // closed: cut after one tick
    {'o', "C-3", kHat, "C18"},     // open, softer, rings on
    {'t', "A-2", kKick, "203"},    // toms: the kick up high, falling
    {'m', "E-2", kKick, "203"},
    {'l', "B-1", kKick, "203"},
}};

int hex(const std::string& text) { return static_cast<int>(std::stoul(text, nullptr, 16)); }

// Writes one channel from whitespace-separated tokens, one per row from
// first_row on: "." leaves the cell empty; "A-2" is a note of sample;
// "A-2:443" a note with a command; ":400" a command alone; a drum letter,
// optionally with ":command" replacing its usual one.
void part(Song& song, int pattern, int channel, int sample, int first_row, const std::string& tokens) {
    std::istringstream in(tokens);
    std::string token;
    for (int row = first_row; in >> token; ++row) {
        if (token == ".") continue;
        const std::size_t colon = token.find(':');
        const std::string head = token.substr(0, colon);
        std::string command = colon == std::string::npos ? "000" : token.substr(colon + 1);
        Cell cell;
        if (head.size() == 1) {
            for (const Drum& drum : kDrums) {
                if (drum.letter != head[0]) continue;
                cell.period = modwriter::notePeriod(drum.note);
                cell.sample = drum.sample;
                if (colon == std::string::npos) command = drum.command;
            }
        } else if (!head.empty()) {
            cell.period = modwriter::notePeriod(head);
            cell.sample = sample;
        }
        if ((!head.empty() && cell.period == 0) || command.size() != 3 || row > 63) {
            std::fprintf(stderr, "zindle-make-modules: bad token in the demo: \"%s\" at pattern %d row %d\n", token.c_str(), pattern, row);
            std::exit(1);
        }
        cell.effect = hex(command.substr(0, 1));
        cell.param = hex(command.substr(1, 2));
        song.at(pattern, row, channel) = cell;
    }
}

// Chord stabs: "x" strikes the chord's root with its arpeggio, "." keeps the
// arpeggio running on what still rings, "-" lets the root ring plain.
void chords(Song& song, int pattern, int first_row, const std::string& root, const std::string& arpeggio,
            const std::string& rhythm) {
    std::string tokens;
    for (char step : rhythm) {
        if (step == 'x') tokens += root + ":" + arpeggio + " ";
        if (step == '.') tokens += ":" + arpeggio + " ";
        if (step == '-') tokens += ". ";
    }
    part(song, pattern, kChordChannel, kPluck, first_row, tokens);
}

// The driving bass bar of the verses: eighths on the root with octave pops.
std::string bassBar(const std::string& low, const std::string& high) {
    return low + " . " + low + ":EC3 . " + high + ":EC3 . " + low + " . . " + low + ":EC3 " + low + " . " + high +
           ":EC3 . " + low + ":EC3 .";
}

constexpr char kStab[] = "x..x..x...x..x..";
constexpr char kGroove[] = "K . h . S . h g K . h K S . h o";

// Order 0: the intro. Drums and bass come in, the chords ring, and the lead
// answers with a pickup that grows louder (set volume) into the verse.
void intro(Song& song, int p) {
    part(song, p, kLeadChannel, kLead, 0, ":F7D");
    part(song, p, kLeadChannel, kLead, 48, "G-2:C10 . . . B-2:C18 . . . D-3:C20 . . . E-3:C28 . D-3:C28 .");

    part(song, p, kBassChannel, kBass, 0, "A-1:F06 . . . . . A-1:EC3 . A-1 . . . A-2:EC2 . A-1:EC3 .");
    part(song, p, kBassChannel, kBass, 16, "F-1 . . . . . F-1:EC3 . F-1 . . . F-2:EC2 . F-1:EC3 .");
    part(song, p, kBassChannel, kBass, 32, "C-2 . . . . . C-2:EC3 . C-2 . . . C-3:EC2 . C-2:EC3 .");
    part(song, p, kBassChannel, kBass, 48, "G-1 . . . . . G-1:EC3 . G-1 . . . G-2:EC2 . G-1 A-1:310");

    chords(song, p, 0, "A-1", "037", "x.......x.......");
    chords(song, p, 16, "F-1", "047", "x.......x.......");
    chords(song, p, 32, "C-2", "047", "x.......x.......");
    chords(song, p, 48, "G-1", "047", "x.......x..x..x.");

    part(song, p, kDrumChannel, 0, 0, "K . . . h . . . K . . . h . . .");
    part(song, p, kDrumChannel, 0, 16, "K . . . h . . . K . . . h . h h");
    part(song, p, kDrumChannel, 0, 32, "K . h . S . h . K . h . S . h .");
    part(song, p, kDrumChannel, 0, 48, "K . h . S . h g K . h . S . r r");
}

// The verse over Am F C G: vibrato on held notes, a slide up to the E,
// a vibrato that fades out at the end.
void verseA(Song& song, int p) {
    part(song, p, kLeadChannel, kLead, 0, "E-3 . . . :443 :400 D-3 . C-3 . . . B-2 . C-3 .");
    part(song, p, kLeadChannel, kLead, 16, "A-2 . . . :444 :400 :400 :400 . . . . G-2 . A-2 .");
    part(song, p, kLeadChannel, kLead, 32, "G-2 . . . E-3:306 :300 :300 :300 D-3 . C-3 . D-3 . E-3 .");
    part(song, p, kLeadChannel, kLead, 48, "D-3 . . . :443 :400 :400 :400 B-2 . . . G-2 :443 :602 :602");

    part(song, p, kBassChannel, kBass, 0, bassBar("A-1", "A-2"));
    part(song, p, kBassChannel, kBass, 16, bassBar("F-1", "F-2"));
    part(song, p, kBassChannel, kBass, 32, bassBar("C-2", "C-3"));
    part(song, p, kBassChannel, kBass, 48, "G-1 . G-1:EC3 . G-2:EC3 . G-1 . . G-1:EC3 G-1 . G-2:EC3 . G-1 A-1:310");

    chords(song, p, 0, "A-1", "037", kStab);
    chords(song, p, 16, "F-1", "047", kStab);
    chords(song, p, 32, "C-2", "047", kStab);
    chords(song, p, 48, "G-1", "047", kStab);

    part(song, p, kDrumChannel, 0, 0, "K:F06 . h . S . h g K . h K S . h o");
    part(song, p, kDrumChannel, 0, 16, kGroove);
    part(song, p, kDrumChannel, 0, 32, kGroove);
    part(song, p, kDrumChannel, 0, 48, "K . h . S . h g K . h K S . r r");
}

// The second verse over F G Em E: the line climbs, the bass falls away
// (portamento down) and a snare roll (retrigger) leads into the breakdown.
void verseB(Song& song, int p) {
    part(song, p, kLeadChannel, kLead, 0, "C-3 . A-2 . C-3 . F-3 . . . E-3 . C-3 . A-2 .");
    part(song, p, kLeadChannel, kLead, 16, "B-2 . . . D-3 . . . G-3 . . . :442 :400 F-3 .");
    part(song, p, kLeadChannel, kLead, 32, "E-3 . . . :443 :400 :400 :400 G-3 . . . B-3 . G-3 .");
    part(song, p, kLeadChannel, kLead, 48, "G#3 . . . :444 :400 :400 :400 :400 :400 :400 :400 :A02 :A02 :A02 :A02");

    part(song, p, kBassChannel, kBass, 0, bassBar("F-1", "F-2"));
    part(song, p, kBassChannel, kBass, 16, bassBar("G-1", "G-2"));
    part(song, p, kBassChannel, kBass, 32, bassBar("E-1", "E-2"));
    part(song, p, kBassChannel, kBass, 48, "E-1 . E-1:EC3 . E-2:EC3 . E-1 . . E-1:EC3 E-1 . E-2 :204 :204 :204");

    chords(song, p, 0, "F-1", "047", kStab);
    chords(song, p, 16, "G-1", "047", kStab);
    chords(song, p, 32, "E-1", "037", kStab);
    chords(song, p, 48, "E-1", "047", kStab);

    part(song, p, kDrumChannel, 0, 0, kGroove);
    part(song, p, kDrumChannel, 0, 16, kGroove);
    part(song, p, kDrumChannel, 0, 32, kGroove);
    part(song, p, kDrumChannel, 0, 48, "K . h . S . h g K . S S r r R R");
}

// The breakdown. Rows 0-31 (Am F, half-time drums, gliding bass, a late
// entry by note delay and a tremolo that fades) play twice by a pattern
// loop; rows 32-63 run at speed 3, one bar of C and G with a rising lead,
// and loop twice too, building up to the verse.
void breakdown(Song& song, int p) {
    part(song, p, kLeadChannel, kLead, 0, "E-3:ED3 . . . :444 :400 :400 :400 G-3:305 :300 :300 . E-3 . D-3 .");
    part(song, p, kLeadChannel, kLead, 16, "C-3 . . . :764 :764 :764 :764 :764 :764 :A03 :A03 :A03 :A03 . .");
    std::string riser = "G-2:C20";
    for (int row = 33; row < 64; ++row) riser += " :102";
    part(song, p, kLeadChannel, kLead, 32, riser);

    part(song, p, kBassChannel, kBass, 0, "A-1:E60 . . . . . . . A-2:EC4 . . . A-1 . F-1:320 :300");
    part(song, p, kBassChannel, kBass, 16, "F-1 . . . . . . . F-2:EC4 . . . F-1 . A-1:320 :E61");
    part(song, p, kBassChannel, kBass, 32, "C-2:E60 . . . C-2:EC2 . . . C-2 . . . C-3:EC2 . . .");
    part(song, p, kBassChannel, kBass, 48, "G-1 . . . G-1:EC2 . . . G-1 . . . G-2:EC2 . . :E61");

    chords(song, p, 0, "A-1", "037", "x.......x.......");
    chords(song, p, 16, "F-1", "047", "x.......x.......");
    chords(song, p, 32, "C-2", "047", "x...x...x...x...");
    chords(song, p, 48, "G-1", "047", "x...x...x...x.x.");

    part(song, p, kDrumChannel, 0, 0, "K . . . h . . . S . . . h . . g");
    part(song, p, kDrumChannel, 0, 16, "K . . . h . K . S . . . h . h o");
    part(song, p, kDrumChannel, 0, 32, "K:F03 . h . h . h . S . h . h . h .");
    part(song, p, kDrumChannel, 0, 48, "K . h . S . h . S . S . S:E92 S:E92 S:E91 S:E91");
}

// The last verse over F G Am E: the tempo holds back over the final bar
// and a position jump takes the song back to the intro.
void outro(Song& song, int p) {
    part(song, p, kLeadChannel, kLead, 0, "A-2 . C-3 . F-3 . . . E-3 . . . C-3 . . .");
    part(song, p, kLeadChannel, kLead, 16, "D-3 . . . B-2 . D-3 . G-3 . . . :443 :400 :400 :400");
    part(song, p, kLeadChannel, kLead, 32, "E-3 . . . A-3:308 :300 :300 :300 :443 :400 :400 :400 C-3 . B-2 .");
    part(song, p, kLeadChannel, kLead, 48, "B-2 . . . :443 :400 :400 :400 G#2:F78 . :F73 . :F6E . :F69 :B00");

    part(song, p, kBassChannel, kBass, 0, bassBar("F-1", "F-2"));
    part(song, p, kBassChannel, kBass, 16, bassBar("G-1", "G-2"));
    part(song, p, kBassChannel, kBass, 32, bassBar("A-1", "A-2"));
    part(song, p, kBassChannel, kBass, 48, "E-1 . . . E-1:EC3 . E-2:EC3 . E-1 . . . E-1 . E-2 .");

    chords(song, p, 0, "F-1", "047", kStab);
    chords(song, p, 16, "G-1", "047", kStab);
    chords(song, p, 32, "A-1", "037", kStab);
    chords(song, p, 48, "E-1", "047", "x.......x.......");

    part(song, p, kDrumChannel, 0, 0, kGroove);
    part(song, p, kDrumChannel, 0, 16, kGroove);
    part(song, p, kDrumChannel, 0, 32, kGroove);
    part(song, p, kDrumChannel, 0, 48, "K . h . S . h g t . t . m . l R");
}

Song composeDemo() {
    Song song;
    song.title = "zindle demo";
    song.samples[kLead - 1] = leadSample();
    song.samples[kBass - 1] = bassSample();
    song.samples[kPluck - 1] = pluckSample();
    song.samples[kKick - 1] = kickSample();
    song.samples[kSnare - 1] = snareSample();
    song.samples[kHat - 1] = hatSample();
    song.samples[7].name = "all sounds synthesized";
    song.samples[8].name = "in code at build time";
    song.samples[9].name = "for zindle";

    enum PatternNumber { kIntro, kVerseA, kVerseB, kBreakdown, kOutro };
    intro(song, kIntro);
    verseA(song, kVerseA);
    verseB(song, kVerseB);
    breakdown(song, kBreakdown);
    outro(song, kOutro);

    constexpr std::array<int, 6> kOrders = {kIntro, kVerseA, kVerseB, kBreakdown, kVerseA, kOutro};
    for (std::size_t i = 0; i < kOrders.size(); ++i) song.orders[i] = kOrders[i];
    song.song_length = static_cast<int>(kOrders.size());
    song.restart = 0;
    return song;
}

}  // namespace

std::vector<ModuleFile> demoModules() { return {{"demo.mod", composeDemo().bytes()}}; }
