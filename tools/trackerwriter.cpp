// The XM, S3M and IT files of a song description, and a gzip wrapper.
#include "tools/trackerwriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>

namespace trackerwriter {

namespace {

constexpr int kNotesPerOctave = 12;

class Bytes {
  public:
    void u8(int v) { out_.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    void u16(int v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    // text in exactly size bytes, zero-padded.
    void text(const std::string& s, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) u8(i < s.size() ? s[i] : 0);
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    void bytes(const std::vector<std::uint8_t>& b) { out_.insert(out_.end(), b.begin(), b.end()); }
    std::size_t size() const { return out_.size(); }
    void pad16() {
        while (out_.size() % 16 != 0) u8(0);
    }
    void put16At(std::size_t at, int v) {
        out_[at] = static_cast<std::uint8_t>(v & 0xFF);
        out_[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    void put32At(std::size_t at, std::uint32_t v) {
        put16At(at, static_cast<int>(v & 0xFFFF));
        put16At(at + 2, static_cast<int>(v >> 16));
    }
    std::vector<std::uint8_t> take() { return std::move(out_); }

  private:
    std::vector<std::uint8_t> out_;
};

int pointBytes(const Sample& s) { return s.sixteen_bit ? 2 : 1; }

const Cell& cellAt(const Pattern& p, int row, int channel, int channels) {
    static const Cell kEmpty{};
    const std::size_t i = static_cast<std::size_t>(row * channels + channel);
    return i < p.cells.size() ? p.cells[i] : kEmpty;
}

// Sample data as stored: signed points, or deltas between them (XM).
void writePoints(Bytes& out, const Sample& s, bool deltas, bool is_unsigned) {
    int last = 0;
    for (std::int16_t point : s.data) {
        int v = deltas ? point - last : point;
        last = point;
        if (is_unsigned) v += s.sixteen_bit ? 0x8000 : 0x80;
        if (s.sixteen_bit)
            out.u16(v);
        else
            out.u8(v);
    }
}

int effectFromChar(char c, bool letters_from_a) {
    if (letters_from_a) return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : 0;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 0;
}

}  // namespace

int noteNumber(const std::string& name) {
    static const char* kNames[kNotesPerOctave] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                                  "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name == "off") return kKeyOff;
    if (name.size() != 3) return kNoNote;
    for (int n = 0; n < kNotesPerOctave; ++n)
        if (name.compare(0, 2, kNames[n]) == 0 && name[2] >= '0' && name[2] <= '9')
            return (name[2] - '0') * kNotesPerOctave + n + 1;
    return kNoNote;
}

Cell& Song::at(int pattern, int row, int channel) {
    while (static_cast<int>(patterns.size()) <= pattern) patterns.push_back(Pattern{});
    Pattern& p = patterns[static_cast<std::size_t>(pattern)];
    const std::size_t need = static_cast<std::size_t>(p.rows * channels);
    if (p.cells.size() < need) p.cells.resize(need);
    return p.cells[static_cast<std::size_t>(row * channels + channel)];
}

void Song::row(int pattern, int row_number, const std::string& text, bool letters_from_a) {
    std::stringstream groups(text);
    std::string group;
    for (int channel = 0; channel < channels && std::getline(groups, group, '|'); ++channel) {
        std::stringstream fields(group);
        std::string note, instrument, volume, effect;
        fields >> note >> instrument >> volume >> effect;
        Cell& cell = at(pattern, row_number, channel);
        cell = Cell{};
        cell.note = noteNumber(note);
        if (instrument.find_first_not_of("0123456789") == std::string::npos && !instrument.empty())
            cell.instrument = std::stoi(instrument);
        if (volume.find_first_not_of("0123456789") == std::string::npos && !volume.empty())
            cell.volume = std::stoi(volume);
        if (effect.size() == 3 && effect != "...") {
            cell.effect = effectFromChar(effect[0], letters_from_a);
            cell.param = std::stoi(effect.substr(1), nullptr, 16);
        }
    }
}

// --- XM: FastTracker 2's layout, patterns unpacked, instruments of one sample.

std::vector<std::uint8_t> Song::xm() const {
    Bytes out;
    out.text("Extended Module: ", 17);
    out.text(title, 20);
    out.u8(0x1A);
    out.text("Zindle tests", 20);
    out.u16(0x0104);
    out.u32(276);
    out.u16(static_cast<int>(orders.size()));
    out.u16(restart);
    out.u16(channels);
    out.u16(static_cast<int>(patterns.size()));
    out.u16(static_cast<int>(samples.size()));
    out.u16(1);  // linear frequencies
    out.u16(speed);
    out.u16(tempo);
    for (int i = 0; i < 256; ++i) out.u8(i < static_cast<int>(orders.size()) ? orders[static_cast<std::size_t>(i)] : 0);
    for (const Pattern& p : patterns) {
        out.u32(9);
        out.u8(0);
        out.u16(p.rows);
        out.u16(p.rows * channels * 5);
        for (int r = 0; r < p.rows; ++r) {
            for (int c = 0; c < channels; ++c) {
                const Cell& cell = cellAt(p, r, c, channels);
                out.u8(cell.note);
                out.u8(cell.instrument);
                out.u8(cell.volume == kNoVolume ? 0 : 0x10 + cell.volume);
                out.u8(cell.effect);
                out.u8(cell.param);
            }
        }
    }
    for (const Sample& s : samples) {
        out.u32(263);
        out.text(s.name, 22);
        out.u8(0);
        out.u16(1);
        out.u32(40);
        out.zeros(96);       // every key plays the one sample
        out.zeros(48 + 48);  // no envelope points
        out.zeros(2 + 6 + 2 + 4);
        out.u16(0);          // fadeout
        out.zeros(22);
        const int bytes = pointBytes(s);
        out.u32(static_cast<std::uint32_t>(s.data.size() * static_cast<std::size_t>(bytes)));
        out.u32(static_cast<std::uint32_t>(s.loop_start * bytes));
        out.u32(static_cast<std::uint32_t>(s.loop_length * bytes));
        out.u8(s.volume);
        out.u8(s.finetune);
        out.u8((s.loop_length > 0 ? 1 : 0) | (s.sixteen_bit ? 0x10 : 0));
        out.u8(0x80);
        out.u8(s.relative_note);
        out.u8(0);
        out.text(s.name, 22);
        writePoints(out, s, true, false);
    }
    return out.take();
}

// --- S3M: Scream Tracker 3's layout, signed samples, packed patterns.

std::vector<std::uint8_t> Song::s3m() const {
    Bytes out;
    out.text(title, 28);
    out.u8(0x1A);
    out.u8(16);
    out.u16(0);
    const int order_count = static_cast<int>(orders.size());
    out.u16(order_count);
    out.u16(static_cast<int>(samples.size()));
    out.u16(static_cast<int>(patterns.size()));
    out.u16(0);
    out.u16(0x1320);
    out.u16(1);  // signed samples
    out.text("SCRM", 4);
    out.u8(64);
    out.u8(speed);
    out.u8(tempo);
    out.u8(0x80 | 48);  // stereo
    out.u8(0);
    out.u8(0);  // no panning table
    out.zeros(8);
    out.u16(0);
    for (int c = 0; c < 32; ++c) out.u8(c < channels ? (c % 4 == 0 || c % 4 == 3 ? c % 8 : 8 + c % 8) : 255);
    for (int o : orders) out.u8(o);
    const std::size_t pointers = out.size();
    out.zeros(2 * (samples.size() + patterns.size()));
    std::vector<std::size_t> sample_headers;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out.pad16();
        out.put16At(pointers + 2 * i, static_cast<int>(out.size() / 16));
        sample_headers.push_back(out.size());
        const Sample& s = samples[i];
        const auto length = static_cast<std::uint32_t>(s.data.size());
        out.u8(1);
        out.text(s.name, 12);
        out.zeros(3);  // data pointer, set below
        out.u32(length);
        out.u32(static_cast<std::uint32_t>(s.loop_start));
        out.u32(static_cast<std::uint32_t>(s.loop_start + s.loop_length));
        out.u8(s.volume);
        out.u8(0);
        out.u8(0);
        out.u8((s.loop_length > 0 ? 1 : 0) | (s.sixteen_bit ? 4 : 0));
        out.u32(static_cast<std::uint32_t>(s.c5speed));
        out.zeros(12);
        out.text(s.name, 28);
        out.text("SCRS", 4);
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        out.pad16();
        out.put16At(pointers + 2 * (samples.size() + i), static_cast<int>(out.size() / 16));
        const std::size_t start = out.size();
        out.u16(0);
        const Pattern& p = patterns[i];
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < channels && r < p.rows; ++c) {
                const Cell& cell = cellAt(p, r, c, channels);
                const bool note = cell.note != kNoNote || cell.instrument != 0;
                const bool volume = cell.volume != kNoVolume;
                const bool effect = cell.effect != 0 || cell.param != 0;
                if (!note && !volume && !effect) continue;
                out.u8(c | (note ? 0x20 : 0) | (volume ? 0x40 : 0) | (effect ? 0x80 : 0));
                if (note) {
                    const int n = cell.note == kKeyOff  ? 254
                                  : cell.note == kNoNote ? 255
                                                         : ((cell.note - 1) / kNotesPerOctave) << 4 |
                                                               (cell.note - 1) % kNotesPerOctave;
                    out.u8(n);
                    out.u8(cell.instrument);
                }
                if (volume) out.u8(cell.volume);
                if (effect) {
                    out.u8(cell.effect);
                    out.u8(cell.param);
                }
            }
            out.u8(0);
        }
        out.put16At(start, static_cast<int>(out.size() - start));
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out.pad16();
        const std::size_t para = out.size() / 16;
        std::vector<std::uint8_t> bytes = out.take();
        bytes[sample_headers[i] + 13] = static_cast<std::uint8_t>((para >> 16) & 0xFF);
        bytes[sample_headers[i] + 14] = static_cast<std::uint8_t>(para & 0xFF);
        bytes[sample_headers[i] + 15] = static_cast<std::uint8_t>((para >> 8) & 0xFF);
        out.bytes(bytes);
        writePoints(out, samples[i], false, false);
    }
    return out.take();
}

// --- IT: Impulse Tracker's layout in sample mode, packed patterns.

std::vector<std::uint8_t> Song::it() const {
    Bytes out;
    out.text("IMPM", 4);
    out.text(title, 26);
    out.u16(0x1004);
    out.u16(static_cast<int>(orders.size()));
    out.u16(0);
    out.u16(static_cast<int>(samples.size()));
    out.u16(static_cast<int>(patterns.size()));
    out.u16(0x0214);
    out.u16(0x0214);
    out.u16(1 | 8);  // stereo, linear slides
    out.u16(0);
    out.u8(128);
    out.u8(48);
    out.u8(speed);
    out.u8(tempo);
    out.u8(128);
    out.u8(0);
    out.u16(0);
    out.u32(0);
    out.u32(0);
    for (int c = 0; c < 64; ++c) out.u8(c < channels ? (c % 4 == 0 || c % 4 == 3 ? 16 : 48) : 128 + 32);
    for (int c = 0; c < 64; ++c) out.u8(64);
    for (int o : orders) out.u8(o);
    const std::size_t pointers = out.size();
    out.zeros(4 * (samples.size() + patterns.size()));
    std::vector<std::size_t> data_pointers;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out.put32At(pointers + 4 * i, static_cast<std::uint32_t>(out.size()));
        const Sample& s = samples[i];
        out.text("IMPS", 4);
        out.text(s.name, 12);
        out.u8(0);
        out.u8(64);
        out.u8((s.data.empty() ? 0 : 1) | (s.sixteen_bit ? 2 : 0) | (s.loop_length > 0 ? 16 : 0));
        out.u8(s.volume);
        out.text(s.name, 26);
        out.u8(1);  // signed
        out.u8(32);
        out.u32(static_cast<std::uint32_t>(s.data.size()));
        out.u32(static_cast<std::uint32_t>(s.loop_start));
        out.u32(static_cast<std::uint32_t>(s.loop_start + s.loop_length));
        out.u32(static_cast<std::uint32_t>(s.c5speed));
        out.u32(0);
        out.u32(0);
        data_pointers.push_back(out.size());
        out.u32(0);
        out.zeros(4);
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        out.put32At(pointers + 4 * (samples.size() + i), static_cast<std::uint32_t>(out.size()));
        const Pattern& p = patterns[i];
        const std::size_t start = out.size();
        out.u16(0);
        out.u16(p.rows);
        out.zeros(4);
        for (int r = 0; r < p.rows; ++r) {
            for (int c = 0; c < channels; ++c) {
                const Cell& cell = cellAt(p, r, c, channels);
                const int mask = (cell.note != kNoNote ? 1 : 0) | (cell.instrument != 0 ? 2 : 0) |
                                 (cell.volume != kNoVolume ? 4 : 0) | (cell.effect != 0 || cell.param != 0 ? 8 : 0);
                if (mask == 0) continue;
                out.u8((c + 1) | 0x80);
                out.u8(mask);
                if (mask & 1) out.u8(cell.note == kKeyOff ? 255 : cell.note - 1);
                if (mask & 2) out.u8(cell.instrument);
                if (mask & 4) out.u8(cell.volume);
                if (mask & 8) {
                    out.u8(cell.effect);
                    out.u8(cell.param);
                }
            }
            out.u8(0);
        }
        out.put16At(start, static_cast<int>(out.size() - start - 8));
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::vector<std::uint8_t> bytes = out.take();
        const auto at = static_cast<std::uint32_t>(bytes.size());
        for (int k = 0; k < 4; ++k) bytes[data_pointers[i] + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(at >> (8 * k));
        out.bytes(bytes);
        writePoints(out, samples[i], false, false);
    }
    return out.take();
}

Sample sawSample(int length, bool sixteen_bit, int volume) {
    Sample s;
    s.name = "saw";
    s.sixteen_bit = sixteen_bit;
    s.volume = volume;
    for (int i = 0; i < length; ++i) {
        const int v = (i * 7) % 200 - 100 + (i % 2 == 0 ? 1 : 0);
        s.data.push_back(static_cast<std::int16_t>(sixteen_bit ? v * 256 + i % 256 : v));
    }
    s.loop_length = length;
    return s;
}

std::vector<std::uint8_t> gzip(const std::vector<std::uint8_t>& bytes) {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    crc ^= 0xFFFFFFFFu;

    Bytes out;
    const std::uint8_t header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    for (std::uint8_t b : header) out.u8(b);
    constexpr std::size_t kBlock = 65535;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kBlock, bytes.size() - at);
        out.u8(at + n == bytes.size() ? 1 : 0);  // stored block, final or not
        out.u16(static_cast<int>(n));
        out.u16(static_cast<int>(~n & 0xFFFF));
        out.bytes(std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n)));
        at += n;
    } while (at < bytes.size());
    out.u32(crc);
    out.u32(static_cast<std::uint32_t>(bytes.size()));
    return out.take();
}

}  // namespace trackerwriter
