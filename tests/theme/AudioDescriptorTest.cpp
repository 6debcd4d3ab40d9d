#include "theme/AudioDescriptor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "platform/SoundOutput.h"
#include "support/TestSupport.h"
#include "theme/ThemeManager.h"
#include "ui/Functions.h"

namespace lorvane {
namespace {

// A mono 16-bit PCM wave file of a short tone.
std::string ToneWav(int milliseconds, double frequency = 660.0) {
  const int rate = 22050;
  const int samples = rate * milliseconds / 1000;
  std::string pcm;
  for (int i = 0; i < samples; ++i) {
    auto value = static_cast<int16_t>(8000 * std::sin(2 * M_PI * frequency * i / rate));
    pcm += static_cast<char>(value & 0xff);
    pcm += static_cast<char>((value >> 8) & 0xff);
  }
  auto u32 = [](uint32_t v) {
    return std::string{static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>((v >> 24) & 0xff)};
  };
  auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; };
  return "RIFF" + u32(36 + static_cast<uint32_t>(pcm.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
         u32(rate) + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(static_cast<uint32_t>(pcm.size())) + pcm;
}

// Records what would have been played (the size of each sound, 0 for none) and how often a
// sound was decoded.
class RecordingOutput : public TKLDSoundOutput {
 public:
  struct Recorded : TKLDPreparedSound {
    explicit Recorded(size_t size) : size(size) {}
    size_t size;
  };
  std::unique_ptr<TKLDPreparedSound> Prepare(const std::vector<uint8_t>& data) override {
    ++decoded;
    return data.size() > 44 ? std::make_unique<Recorded>(data.size()) : nullptr;
  }
  void Play(const TKLDPreparedSound* sound) override {
    auto* recorded = dynamic_cast<const Recorded*>(sound);
    played.push_back(recorded ? recorded->size : 0);
  }
  std::vector<size_t> played;
  int decoded = 0;
};

std::string LoadError(const std::string& xml) {
  TKLDAudioDescriptor descriptor;
  try {
    descriptor.LoadFromText(xml, "a.xml");
  } catch (const TKLDException& e) {
    return e.what();
  }
  return "no error";
}

TEST(AudioDescriptorTest, ReadsSoundsWithInheritanceAndSkipsOtherElements) {
  TKLDAudioDescriptor descriptor;
  descriptor.LoadFromText(R"(<AudioDescriptor name="tv" description="Sounds of tv">
    <Sounds description="effects">
      <Sound name="click" description="A click">click.wav</Sound>
      <Note>ignored</Note>
      <!-- the same click, named for its use -->
      <Sound name="move" inherit="click"/>
    </Sounds>
    <Sounds><Sound name="back">back.wav</Sound></Sounds>
  </AudioDescriptor>)");
  EXPECT_EQ(descriptor.Name, "tv");
  EXPECT_EQ(descriptor.Description, "Sounds of tv");
  EXPECT_EQ(descriptor.Sounds.Description, "effects");
  ASSERT_EQ(descriptor.Sounds.Count(), 3);
  TKLDSound* move = descriptor.Sounds.FindSound("MOVE");
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(move->FileName, "click.wav");
  EXPECT_EQ(move->Description, "A click");
  EXPECT_EQ(move->Comment, "the same click, named for its use");
  EXPECT_EQ(descriptor.Sounds.FindSound("back")->FileName, "back.wav");
}

TEST(AudioDescriptorTest, SchemaErrorsCarryTheLoaderPrefix) {
  EXPECT_EQ(LoadError("<AudioDescriptor><Sound name=\"x\">x.wav</Sound></AudioDescriptor>"),
            "Encountered error whilst parsing Audio Descriptor XML: Unknown content type within AudioDescriptor");
  EXPECT_EQ(LoadError("<Audio/>"),
            "Encountered error whilst parsing Audio Descriptor XML: Missing AudioDescriptor start tag");
  EXPECT_EQ(LoadError("<AudioDescriptor/>"), "no error");
}

TEST(AudioDescriptorTest, WritesTheFileNameOnlyWhereItDiffersFromTheAncestor) {
  TKLDAudioDescriptor descriptor;
  descriptor.LoadFromText(R"(<AudioDescriptor name="tv"><Sounds>
      <Sound name="click">a&amp;b.wav</Sound>
      <Sound name="move" inherit="click"/>
      <Sound name="back" inherit="click">back.wav</Sound>
    </Sounds></AudioDescriptor>)");
  std::vector<std::string> lines;
  descriptor.SaveToList(lines);
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  EXPECT_NE(text.find("<Sound name=\"click\">a&amp;b.wav</Sound>"), std::string::npos) << text;
  EXPECT_NE(text.find("<Sound name=\"move\" inherit=\"click\"></Sound>"), std::string::npos) << text;
  EXPECT_NE(text.find("<Sound name=\"back\" inherit=\"click\">back.wav</Sound>"), std::string::npos) << text;

  TKLDAudioDescriptor again;
  again.LoadFromText(text);
  EXPECT_EQ(again.Sounds.FindSound("click")->FileName, "a&b.wav");
  EXPECT_EQ(again.Sounds.FindSound("move")->FileName, "a&b.wav");
}

// Sounds loaded from a resources folder and played through a recording output, with a frame
// clock the test moves and a log it reads.
class SoundTest : public ::testing::Test {
 protected:
  SoundTest() {
    logger.SetEchoList(&logged);
    SetGlobalLogger(&logger);
    SetGlobalTimer(&timer);
    SetSoundOutput(&output);
    ResetSoundThrottle();
    SetSoundEffectsSource([this] { return effectsOn; });
    timer.MarkFrameStart();
  }
  ~SoundTest() override {
    SetSoundEffectsSource(nullptr);
    ResetSoundThrottle();
    SetSoundOutput(nullptr);
    SetGlobalTimer(nullptr);
    SetGlobalLogger(nullptr);
  }
  void At(uint32_t now) {
    clock = now;
    timer.MarkFrameStart();
  }
  int Warnings(const std::string& text) const {
    int n = 0;
    for (const auto& line : logged)
      if (line.find("WARN") != std::string::npos && line.find(text) != std::string::npos) ++n;
    return n;
  }

  std::vector<std::string> logged;
  TKLDLogger logger;
  uint32_t clock = 5000;
  TKLDTimer timer{[this] { return clock; }};
  RecordingOutput output;
  bool effectsOn = true;
  test::TempDir dir;
};

TEST_F(SoundTest, FilesAreReadWholeAndBadOnesAreReportedOnceWithTheirPath) {
  const std::string tone = ToneWav(50);
  dir.Write("Resources/click.wav", tone);
  dir.Write("Resources/broken.wav", "not a wave file at all");
  TKLDAudioDescriptor descriptor;
  descriptor.LoadFromText(R"(<AudioDescriptor><Sounds>
      <Sound name="click">click.wav</Sound>
      <Sound name="gone">gone.wav</Sound>
      <Sound name="broken">broken.wav</Sound>
    </Sounds></AudioDescriptor>)");
  descriptor.Sounds.LoadSounds(dir.Path() + "Resources/");
  descriptor.Sounds.LoadSounds(dir.Path() + "Resources/");  // loaded once only

  TKLDSound* click = descriptor.Sounds.FindSound("click");
  EXPECT_TRUE(click->Loaded);
  EXPECT_EQ(std::string(click->Wave->Data.begin(), click->Wave->Data.end()), tone);
  EXPECT_TRUE(descriptor.Sounds.FindSound("gone")->Wave->Data.empty());
  EXPECT_EQ(Warnings(dir.Path() + "Resources/gone.wav"), 1);
  EXPECT_EQ(Warnings(dir.Path() + "Resources/broken.wav"), 1);
  EXPECT_EQ(Warnings("click.wav"), 0);

  // A bad sound plays nothing audible but does not stop the others.
  descriptor.Sounds.FindSound("gone")->Play();
  At(6000);
  click->Play();
  ASSERT_EQ(output.played.size(), 2u);
  EXPECT_EQ(output.played[0], 0u);
  EXPECT_EQ(output.played[1], tone.size());
}

TEST_F(SoundTest, AtMostOneSoundStartsInAHundredMilliseconds) {
  dir.Write("Resources/click.wav", ToneWav(20));
  TKLDSoundList sounds;
  sounds.CreateSound("", "click")->FileName = "click.wav";
  sounds.LoadSounds(dir.Path() + "Resources/");
  TKLDSound* click = sounds.FindSound("click");

  click->Play();
  At(5050);
  click->Play();  // dropped, not queued
  EXPECT_EQ(output.played.size(), 1u);
  EXPECT_EQ(LastSoundStart(), 5000u);
  At(5099);
  click->Play();
  EXPECT_EQ(output.played.size(), 1u);
  At(5100);
  click->Play();
  EXPECT_EQ(output.played.size(), 2u);
  At(5250);
  click->Play();
  EXPECT_EQ(output.played.size(), 3u);
  EXPECT_EQ(LastSoundStart(), 5250u);
  EXPECT_EQ(output.decoded, 1) << "decoded once, when loaded, not at every start";
}

TEST_F(SoundTest, WithEffectsOffOrNothingLoadedNothingPlaysAndTheThrottleStands) {
  dir.Write("Resources/click.wav", ToneWav(20));
  TKLDSoundList sounds;
  TKLDSound* click = sounds.CreateSound("", "click");
  click->FileName = "click.wav";
  click->Play();  // not loaded yet
  EXPECT_FALSE(SoundStarted());
  sounds.LoadSounds(dir.Path() + "Resources/");
  effectsOn = false;
  click->Play();
  EXPECT_TRUE(output.played.empty());
  EXPECT_FALSE(SoundStarted());
  effectsOn = true;
  At(9000);
  click->Play();
  EXPECT_EQ(output.played.size(), 1u);
  EXPECT_EQ(LastSoundStart(), 9000u);
}

TEST_F(SoundTest, ThemeSoundsComeFromTheLinkedSetThenTheBaseAndPlayThroughTheSoundFunction) {
  const std::string base = "t/";
  dir.Write(base + "base-VisualDescriptor.xml", "<VisualDescriptor/>");
  dir.Write(base + "base-InterfaceDescriptor.xml", "<InterfaceDescriptor/>");
  dir.Write(base + "base-LanguageDescriptor.xml",
            "<LanguageDescriptor><NativeLanguage><Language name=\"English\"/></NativeLanguage>"
            "<Languages><Language name=\"English\"/></Languages></LanguageDescriptor>");
  dir.Write(base + "base-AudioDescriptor.xml",
            "<AudioDescriptor><Sounds><Sound name=\"click\">click.wav</Sound>"
            "<Sound name=\"back\">back.wav</Sound></Sounds></AudioDescriptor>");
  dir.Write(base + "loud-AudioDescriptor.xml",
            "<AudioDescriptor><Sounds><Sound name=\"click\">loud.wav</Sound></Sounds></AudioDescriptor>");
  const std::string click = ToneWav(20), back = ToneWav(30), loud = ToneWav(40);
  dir.Write(base + "Resources/click.wav", click);
  dir.Write(base + "Resources/back.wav", back);
  dir.Write(base + "Resources/loud.wav", loud);

  TKLDThemeManager themes;
  themes.SetThemesDirectory(dir.Path());
  ASSERT_TRUE(themes.LoadTheme("t"));
  TKLDFunctions functions;
  TKLDFunctions::Context context;
  context.themes = &themes;
  functions.SetContext(context);
  TKLDFunction sound("sound");
  sound.TargetKind = TKLDTargetKind::Sound;

  functions.ExecuteWithTarget(sound, "click", "");
  ASSERT_TRUE(themes.LinkDescriptors("loud"));
  EXPECT_EQ(themes.LinkedFiles(), TKLDThemeManager::kLinkedAudio);
  At(6000);
  functions.ExecuteWithTarget(sound, "click", "");
  At(7000);
  functions.ExecuteWithTarget(sound, "back", "");  // not in the set: the base one
  At(8000);
  functions.ExecuteWithTarget(sound, "nosuch", "");  // nothing, and no start
  EXPECT_EQ(output.played, (std::vector<size_t>{click.size(), loud.size(), back.size()}));
  EXPECT_EQ(LastSoundStart(), 7000u);
  themes.UnlinkDescriptors();
  EXPECT_EQ(&themes.Audio(), &themes.BaseAudio());
}

TEST_F(SoundTest, AThemeWithoutAnAudioDescriptorDoesNotLoad) {
  dir.Write("t/base-VisualDescriptor.xml", "<VisualDescriptor/>");
  dir.Write("t/base-InterfaceDescriptor.xml", "<InterfaceDescriptor/>");
  dir.Write("t/base-LanguageDescriptor.xml", "<LanguageDescriptor/>");
  TKLDThemeManager themes;
  themes.SetThemesDirectory(dir.Path());
  try {
    themes.LoadTheme("t");
    ADD_FAILURE() << "loaded";
  } catch (const TKLDException& e) {
    EXPECT_NE(std::string(e.what()).find("base-AudioDescriptor.xml"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(themes.ThemeLoaded());
}

// The real output on SDL's dummy audio driver: no sound card needed.
TEST(MixerSoundOutputTest, PlaysWaveDataAndRefusesAnythingElse) {
  TKLDMixerSoundOutput mixer;
  const std::string tone = ToneWav(30);
  std::vector<uint8_t> wav(tone.begin(), tone.end());
  auto sound = mixer.Prepare(wav);
  EXPECT_NE(sound, nullptr);
  EXPECT_EQ(mixer.Prepare({}), nullptr);
  std::vector<uint8_t> junk(200, 0x5a);
  EXPECT_EQ(mixer.Prepare(junk), nullptr);
  std::vector<uint8_t> cut(wav.begin(), wav.begin() + 30);
  EXPECT_EQ(mixer.Prepare(cut), nullptr);
  mixer.Play(sound.get());
  mixer.Play(sound.get());  // cuts off the first
  mixer.Play(nullptr);
  RecordingOutput other;
  auto foreign = other.Prepare(wav);
  mixer.Play(foreign.get());  // another output's sound plays nothing here
  sound.reset();               // freed while it may still play
  EXPECT_TRUE(mixer.Opened());
}

}  // namespace
}  // namespace lorvane
