#pragma once
// Short sound effects played from memory. The program hands over the complete bytes of a wave
// file; playing never blocks the caller and a new sound cuts off the one still playing.
#include <cstdint>
#include <vector>

namespace lorvane {

class TKLDSoundOutput {
 public:
  virtual ~TKLDSoundOutput() = default;
  // Starts the sound held in data; empty or undecodable data plays nothing, silently.
  virtual void Play(const std::vector<uint8_t>& data) = 0;
  // Whether data holds a sound this output can play (checked once, when a theme loads).
  virtual bool CanPlay(const std::vector<uint8_t>& data) = 0;
};

// SDL2_mixer on one channel. The audio device opens on first use; when none opens (no sound
// card, no server) the output says so once in the log and stays silent.
class TKLDMixerSoundOutput : public TKLDSoundOutput {
 public:
  TKLDMixerSoundOutput() = default;
  ~TKLDMixerSoundOutput() override;
  TKLDMixerSoundOutput(const TKLDMixerSoundOutput&) = delete;
  TKLDMixerSoundOutput& operator=(const TKLDMixerSoundOutput&) = delete;

  void Play(const std::vector<uint8_t>& data) override;
  bool CanPlay(const std::vector<uint8_t>& data) override;
  bool Opened() const { return opened_; }

 private:
  bool Open();
  void Close();

  bool triedOpen_ = false;
  bool opened_ = false;
  void* chunk_ = nullptr;  // Mix_Chunk of the sound playing or last played
};

// The process-wide output: the one installed, else a mixer output made on first use.
TKLDSoundOutput& SoundOutput();
// Tests install a recording output; null goes back to the mixer.
void SetSoundOutput(TKLDSoundOutput* output);
// Closes the mixer output, if one was made (at program exit).
void ShutdownSoundOutput();

}  // namespace lorvane
