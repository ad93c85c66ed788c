// Writes the program's message sound: a short two-note chime, 16-bit mono PCM in a WAV file. Each note is a sine
// with a little of its octave, struck softly and dying away, so the sound is noticeable without being harsh.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int SampleRate = 22050;

struct Note {
    double Start;     // seconds
    double Frequency; // Hz
    double Length;    // seconds
};

void PutLe(std::vector<char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::vector<double> Render(const std::vector<Note>& notes, double total) {
    std::vector<double> samples(static_cast<size_t>(total * SampleRate), 0.0);
    for (const Note& note : notes) {
        const auto first = static_cast<size_t>(note.Start * SampleRate);
        const auto count = static_cast<size_t>(note.Length * SampleRate);
        for (size_t i = 0; i < count && first + i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / SampleRate;
            const double attack = std::min(1.0, t / 0.006);
            const double decay = std::exp(-t * 9.0);
            const double phase = 2.0 * std::numbers::pi * note.Frequency * t;
            samples[first + i] += attack * decay * (std::sin(phase) + 0.25 * std::sin(2.0 * phase));
        }
    }
    return samples;
}

std::vector<char> Wave(const std::vector<double>& samples, double peak) {
    double loudest = 1e-9;
    for (const double sample : samples) {
        loudest = std::max(loudest, std::abs(sample));
    }
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<char> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(out, 16, 4);             // format chunk size
    PutLe(out, 1, 2);              // PCM
    PutLe(out, 1, 2);              // mono
    PutLe(out, SampleRate, 4);     // samples per second
    PutLe(out, SampleRate * 2, 4); // bytes per second
    PutLe(out, 2, 2);              // bytes per frame
    PutLe(out, 16, 2);             // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe(out, dataBytes, 4);
    for (const double sample : samples) {
        const auto value = static_cast<std::int16_t>(std::lround(sample / loudest * peak * 32767.0));
        PutLe(out, static_cast<std::uint16_t>(value), 2);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    const std::vector<Note> chime{{0.0, 1046.5, 0.45}, {0.12, 1568.0, 0.5}};
    const std::vector<char> wave = Wave(Render(chime, 0.62), 0.6);
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(wave.data(), static_cast<std::streamsize>(wave.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
