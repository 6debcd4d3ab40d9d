#include "platform/SoundOutput.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdint>
#include <memory>

#include "base/Logging.h"

namespace lorvane {

namespace {
TKLDSoundOutput* g_installed = nullptr;
std::unique_ptr<TKLDMixerSoundOutput> g_mixer;
// Every effect plays on this one channel, so a new start replaces the sound still playing.
constexpr int kChannel = 0;

Mix_Chunk* Decode(const std::vector<uint8_t>& data) {
  if (data.empty() || data.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
  if (!rw) return nullptr;
  return Mix_LoadWAV_RW(rw, 1);
}

// The chunk in the device's format; none when there is no device (the sound was still judged
// playable, and stays silent).
struct TKLDMixerSound : TKLDPreparedSound {
  explicit TKLDMixerSound(Mix_Chunk* chunk) : chunk(chunk) {}
  // Freeing a chunk halts the channel still playing it.
  ~TKLDMixerSound() override {
    if (chunk) Mix_FreeChunk(chunk);
  }
  Mix_Chunk* chunk;
};
}  // namespace

TKLDMixerSoundOutput::~TKLDMixerSoundOutput() { Close(); }

bool TKLDMixerSoundOutput::Open() {
  if (triedOpen_) return opened_;
  triedOpen_ = true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    LogWarn(std::string("Sound effects are off: no audio device (") + SDL_GetError() + ")");
    return false;
  }
  if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    LogWarn(std::string("Sound effects are off: no audio device (") + Mix_GetError() + ")");
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_AllocateChannels(1);
  opened_ = true;
  return true;
}

void TKLDMixerSoundOutput::Close() {
  if (opened_) {
    Mix_HaltChannel(kChannel);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  opened_ = false;
  triedOpen_ = false;
}

void TKLDMixerSoundOutput::Play(const TKLDPreparedSound* sound) {
  auto* prepared = dynamic_cast<const TKLDMixerSound*>(sound);
  if (!prepared || !prepared->chunk || !opened_) return;
  Mix_HaltChannel(kChannel);
  Mix_PlayChannel(kChannel, prepared->chunk, 0);
}

std::unique_ptr<TKLDPreparedSound> TKLDMixerSoundOutput::Prepare(const std::vector<uint8_t>& data) {
  if (data.empty() || data.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  if (Open()) {
    Mix_Chunk* chunk = Decode(data);
    if (!chunk) return nullptr;
    return std::make_unique<TKLDMixerSound>(chunk);
  }
  // Without a device the file can still be judged: SDL reads wave files by itself.
  SDL_RWops* rw = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
  if (!rw) return nullptr;
  SDL_AudioSpec format;
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length)) return nullptr;
  SDL_FreeWAV(buffer);
  return std::make_unique<TKLDMixerSound>(nullptr);
}

TKLDSoundOutput& SoundOutput() {
  if (g_installed) return *g_installed;
  if (!g_mixer) g_mixer = std::make_unique<TKLDMixerSoundOutput>();
  return *g_mixer;
}

void SetSoundOutput(TKLDSoundOutput* output) { g_installed = output; }

void ShutdownSoundOutput() { g_mixer.reset(); }

}  // namespace lorvane
