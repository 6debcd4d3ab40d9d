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
    if (chunk_) Mix_FreeChunk(static_cast<Mix_Chunk*>(chunk_));
    chunk_ = nullptr;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  opened_ = false;
  triedOpen_ = false;
}

void TKLDMixerSoundOutput::Play(const std::vector<uint8_t>& data) {
  if (data.empty() || !Open()) return;
  Mix_Chunk* chunk = Decode(data);
  if (!chunk) return;
  // The previous chunk may be freed only once its channel has stopped using it.
  Mix_HaltChannel(kChannel);
  if (chunk_) Mix_FreeChunk(static_cast<Mix_Chunk*>(chunk_));
  chunk_ = chunk;
  Mix_PlayChannel(kChannel, chunk, 0);
}

bool TKLDMixerSoundOutput::CanPlay(const std::vector<uint8_t>& data) {
  if (data.empty() || data.size() > static_cast<size_t>(INT32_MAX)) return false;
  if (Open()) {
    Mix_Chunk* chunk = Decode(data);
    if (chunk) Mix_FreeChunk(chunk);
    return chunk != nullptr;
  }
  // Without a device the file can still be judged: SDL reads wave files by itself.
  SDL_RWops* rw = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
  if (!rw) return false;
  SDL_AudioSpec format;
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length)) return false;
  SDL_FreeWAV(buffer);
  return true;
}

TKLDSoundOutput& SoundOutput() {
  if (g_installed) return *g_installed;
  if (!g_mixer) g_mixer = std::make_unique<TKLDMixerSoundOutput>();
  return *g_mixer;
}

void SetSoundOutput(TKLDSoundOutput* output) { g_installed = output; }

void ShutdownSoundOutput() { g_mixer.reset(); }

}  // namespace lorvane
