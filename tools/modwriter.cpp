#include "tools/modwriter.h"

#include "platform/files.h"
#include "player/protracker_sequencer.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace modwriter {

namespace {

void putWord(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void putText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

int hexValue(const std::string& text) {
    return static_cast<int>(std::stoul(text, nullptr, 16));
}

}  // namespace

int notePeriod(const std::string& name) {
    if (name.size() != 3 || name == "---" || name == "...") return 0;
    static const char* const kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                           "F#", "G-", "G#", "A-", "A#", "B-"};
    const int octave = name[2] - '1';
    for (int n = 0; n < 12; ++n)
        if (name.compare(0, 2, kNames[n]) == 0 && octave >= 0 && octave < 3)
            return tab_tunes[0][octave * 12 + n];
    return 0;
}

Cell parseCell(const std::string& text) {
    std::istringstream in(text);
    std::string note, sample, effect;
    in >> note >> sample >> effect;
    Cell cell;
    cell.period = notePeriod(note);
    if (!sample.empty() && sample != "--" && sample != "..")
        cell.sample = std::stoi(sample);
    if (effect.size() == 3 && effect != "...") {
        cell.effect = hexValue(effect.substr(0, 1));
        cell.param = hexValue(effect.substr(1, 2));
    }
    return cell;
}

Cell& Song::at(int pattern, int row, int channel) {
    if (patterns.size() <= static_cast<std::size_t>(pattern))
        patterns.resize(static_cast<std::size_t>(pattern) + 1);
    return patterns[static_cast<std::size_t>(pattern)][static_cast<std::size_t>(row * kMaxWriterChannels + channel)];
}

void Song::row(int pattern, int row_number, const std::string& text) {
    std::size_t start = 0;
    for (int channel = 0; channel < channels; ++channel) {
        const std::size_t bar = text.find('|', start);
        const std::string group = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        at(pattern, row_number, channel) = parseCell(group);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
}

std::vector<std::uint8_t> Song::bytes() const {
    std::vector<std::uint8_t> out;
    putText(out, title, kTitleBytes);
    const auto written = static_cast<std::size_t>(num_samples == kOldNumSamples ? kOldNumSamples : kNumSamples);
    for (std::size_t n = 0; n < written; ++n) {
        const SampleDesc& s = samples[n];
        putText(out, s.name, kSampleNameBytes);
        const int words = s.length_words >= 0 ? s.length_words : static_cast<int>((s.data.size() + 1) / 2);
        putWord(out, words);
        out.push_back(static_cast<std::uint8_t>(s.finetune));
        out.push_back(static_cast<std::uint8_t>(s.volume));
        putWord(out, s.loop_start_words);
        putWord(out, s.loop_length_words);
    }
    out.push_back(static_cast<std::uint8_t>(song_length));
    out.push_back(static_cast<std::uint8_t>(restart));
    for (int order : orders) out.push_back(static_cast<std::uint8_t>(order));
    if (written == kNumSamples) putText(out, tag, kTagBytes);
    int blocks = pattern_blocks;
    if (blocks < 0) blocks = 1 + (*std::max_element(orders.begin(), orders.end()) & 0xFF) / (paired_blocks ? 2 : 1);
    const auto putCell = [&](int p, int row, int channel) {
        Cell cell;
        if (static_cast<std::size_t>(p) < patterns.size())
            cell = patterns[static_cast<std::size_t>(p)][static_cast<std::size_t>(row * kMaxWriterChannels + channel)];
        out.push_back(static_cast<std::uint8_t>((cell.sample & 0xF0) | ((cell.period >> 8) & 0x0F)));
        out.push_back(static_cast<std::uint8_t>(cell.period & 0xFF));
        out.push_back(static_cast<std::uint8_t>(((cell.sample & 0x0F) << 4) | (cell.effect & 0x0F)));
        out.push_back(static_cast<std::uint8_t>(cell.param));
    };
    const int width = std::clamp(channels, 1, kMaxWriterChannels);
    const int part = paired_blocks ? std::min(width, 4) : width;
    for (int p = 0; p < blocks; ++p)
        for (int first = 0; first < width; first += part)
            for (int row = 0; row < kRowsPerPattern; ++row)
                for (int c = first; c < std::min(first + part, width); ++c) putCell(p, row, c);
    for (std::size_t n = 0; n < written; ++n) {
        const SampleDesc& s = samples[n];
        const int words = s.length_words >= 0 ? s.length_words : static_cast<int>((s.data.size() + 1) / 2);
        for (int i = 0; i < words * 2; ++i)
            out.push_back(static_cast<std::size_t>(i) < s.data.size() ? static_cast<std::uint8_t>(s.data[static_cast<std::size_t>(i)]) : 0);
    }
    return out;
}

bool Song::write(const std::string& path) const {
    const std::vector<std::uint8_t> data = bytes();
    UniqueFile file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    return std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
}

}  // namespace modwriter
