#pragma once
// Short sound effects played from memory. The program hands over the complete bytes of a wave
// file once to have it decoded; playing never blocks the caller and a new sound cuts off the
// one still playing.
#include <cstdint>
#include <memory>
#include <vector>

namespace lorvane {

// A sound decoded and converted for the output that made it, ready to start at once.
class TKLDPreparedSound {
 public:
  virtual ~TKLDPreparedSound() = default;
};

class TKLDSoundOutput {
 public:
  virtual ~TKLDSoundOutput() = default;
  // Decodes the bytes of a sound file once, when a theme loads, so that playing it costs the
  // frame nothing; null when this output cannot play it.
  virtual std::unique_ptr<TKLDPreparedSound> Prepare(const std::vector<uint8_t>& data) = 0;
  // Starts the sound; null (or another output's sound) plays nothing, silently.
  virtual void Play(const TKLDPreparedSound* sound) = 0;
};

// SDL2_mixer on one channel. The audio device opens on first use; when none opens (no sound
// card, no server) the output says so once in the log and stays silent.
class TKLDMixerSoundOutput : public TKLDSoundOutput {
 public:
  TKLDMixerSoundOutput() = default;
  ~TKLDMixerSoundOutput() override;
  TKLDMixerSoundOutput(const TKLDMixerSoundOutput&) = delete;
  TKLDMixerSoundOutput& operator=(const TKLDMixerSoundOutput&) = delete;

  std::unique_ptr<TKLDPreparedSound> Prepare(const std::vector<uint8_t>& data) override;
  void Play(const TKLDPreparedSound* sound) override;
  bool Opened() const { return opened_; }

 private:
  bool Open();
  void Close();

  bool triedOpen_ = false;
  bool opened_ = false;
};

// The process-wide output: the one installed, else a mixer output made on first use.
TKLDSoundOutput& SoundOutput();
// Tests install a recording output; null goes back to the mixer.
void SetSoundOutput(TKLDSoundOutput* output);
// Closes the mixer output, if one was made (at program exit).
void ShutdownSoundOutput();

}  // namespace lorvane
