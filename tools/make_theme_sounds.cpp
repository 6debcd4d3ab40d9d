// Makes the sound effects of the default theme "tv" in themes/tv/Resources/: short, soft tones
// written as 16-bit mono wave files. The files are committed so that the theme works without
// this tool; run it again after changing a sound:
//   g++ -std=c++20 -O2 tools/make_theme_sounds.cpp -o /tmp/mksnd && /tmp/mksnd themes/tv/Resources
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct Note {
  double frequency;  // Hz
  double seconds;
};

// Each note is a sine with a quick attack and an exponential fall, so nothing clicks.
std::vector<int16_t> Render(const std::vector<Note>& notes, double level) {
  std::vector<int16_t> samples;
  for (const Note& note : notes) {
    const int count = static_cast<int>(note.seconds * kRate);
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double attack = std::min(1.0, t / 0.004);
      const double release = std::exp(-t * 6.0 / note.seconds);
      const double tone = std::sin(2 * kPi * note.frequency * t) + 0.25 * std::sin(4 * kPi * note.frequency * t);
      samples.push_back(static_cast<int16_t>(32767 * level * attack * release * tone / 1.25));
    }
  }
  return samples;
}

void Put32(std::FILE* f, uint32_t v) {
  for (int i = 0; i < 4; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xff), f);
}
void Put16(std::FILE* f, uint16_t v) {
  std::fputc(v & 0xff, f);
  std::fputc(v >> 8, f);
}

bool Write(const std::string& path, const std::vector<int16_t>& samples) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const auto bytes = static_cast<uint32_t>(samples.size() * 2);
  std::fputs("RIFF", f);
  Put32(f, 36 + bytes);
  std::fputs("WAVEfmt ", f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, 1);
  Put32(f, kRate);
  Put32(f, kRate * 2);
  Put16(f, 2);
  Put16(f, 16);
  std::fputs("data", f);
  Put32(f, bytes);
  for (int16_t s : samples) Put16(f, static_cast<uint16_t>(s));
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : "themes/tv/Resources/";
  bool ok = Write(folder + "move.wav", Render({{1318.5, 0.035}}, 0.18));
  ok = Write(folder + "select.wav", Render({{880.0, 0.05}, {1318.5, 0.09}}, 0.22)) && ok;
  ok = Write(folder + "back.wav", Render({{987.8, 0.05}, {659.3, 0.09}}, 0.22)) && ok;
  ok = Write(folder + "error.wav", Render({{220.0, 0.12}, {196.0, 0.16}}, 0.25)) && ok;
  if (!ok) std::fprintf(stderr, "could not write the sounds into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
