#include "platform/MpvPlayer.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "base/Logging.h"
#include "platform/HeapMemory.h"

namespace lorvane {

namespace {

bool ParseLevel(const std::string& text, double& decibels);

std::string Text(int code) { return mpv_error_string(code); }

std::string PropertyString(mpv_handle* handle, const char* name) {
  char* value = mpv_get_property_string(handle, name);
  if (!value) return {};
  std::string result = value;
  mpv_free(value);
  return result;
}

int64_t PropertyInt(mpv_handle* handle, const char* name) {
  int64_t value = 0;
  if (mpv_get_property(handle, name, MPV_FORMAT_INT64, &value) < 0) return 0;
  return value;
}

const mpv_node* MapEntry(const mpv_node& map, const char* key) {
  if (map.format != MPV_FORMAT_NODE_MAP) return nullptr;
  for (int i = 0; i < map.u.list->num; ++i)
    if (std::strcmp(map.u.list->keys[i], key) == 0) return &map.u.list->values[i];
  return nullptr;
}

// Adds the filter that turns the film's picture as its file says it was filmed; returns the turn
// in degrees clockwise (0 when none is needed or it could not be added).
int TurnUpright(mpv_handle* handle) {
  int64_t rotation = 0;
  if (mpv_get_property(handle, "current-tracks/video/demux-rotation", MPV_FORMAT_INT64, &rotation) < 0) return 0;
  rotation = ((rotation % 360) + 360) % 360;
  const char* filter = rotation == 90    ? "@lorvane-turn:lavfi=[transpose=clock]"
                       : rotation == 180 ? "@lorvane-turn:lavfi=[hflip,vflip]"
                       : rotation == 270 ? "@lorvane-turn:lavfi=[transpose=cclock]"
                                         : nullptr;
  if (!filter) {
    if (rotation != 0) LogInfo("Video turned by " + std::to_string(rotation) + " degrees is shown as stored");
    return 0;
  }
  const char* command[] = {"vf", "add", filter, nullptr};
  int result = mpv_command(handle, command);
  if (result < 0) {
    LogWarn(std::string("Failed to turn the video upright: ") + mpv_error_string(result));
    return 0;
  }
  return static_cast<int>(rotation);
}

// Reads the whole track list in one call, so that it cannot change half-way; false when the
// file has no tracks (left already, or nothing in it).
bool ReadTracks(mpv_handle* handle, TKLDMpvFileInfo& info) {
  mpv_node list;
  if (mpv_get_property(handle, "track-list", MPV_FORMAT_NODE, &list) < 0) return false;
  int count = list.format == MPV_FORMAT_NODE_ARRAY ? list.u.list->num : 0;
  for (int i = 0; i < count; ++i) {
    const mpv_node& track = list.u.list->values[i];
    const mpv_node* type = MapEntry(track, "type");
    const mpv_node* image = MapEntry(track, "image");
    if (!type || type->format != MPV_FORMAT_STRING) continue;
    bool isImage = image && image->format == MPV_FORMAT_FLAG && image->u.flag;
    if (std::strcmp(type->u.string, "video") == 0 && !isImage) info.hasVideo = true;
    if (std::strcmp(type->u.string, "audio") == 0) info.hasAudio = true;
  }
  mpv_free_node_contents(&list);
  return count > 0;
}

struct TKLDTrack {
  int64_t id = 0;
  bool selected = false;
  std::string description;
};

std::string NodeString(const mpv_node& map, const char* key) {
  const mpv_node* value = MapEntry(map, key);
  return value && value->format == MPV_FORMAT_STRING ? value->u.string : "";
}

// The tracks of one type ("sub", "audio") in mpv's order.
std::vector<TKLDTrack> TracksOf(mpv_handle* handle, const char* wanted) {
  std::vector<TKLDTrack> tracks;
  mpv_node list;
  if (mpv_get_property(handle, "track-list", MPV_FORMAT_NODE, &list) < 0) return tracks;
  int count = list.format == MPV_FORMAT_NODE_ARRAY ? list.u.list->num : 0;
  for (int i = 0; i < count; ++i) {
    const mpv_node& node = list.u.list->values[i];
    if (NodeString(node, "type") != wanted) continue;
    TKLDTrack track;
    const mpv_node* id = MapEntry(node, "id");
    const mpv_node* selected = MapEntry(node, "selected");
    if (id && id->format == MPV_FORMAT_INT64) track.id = id->u.int64;
    track.selected = selected && selected->format == MPV_FORMAT_FLAG && selected->u.flag;
    const std::string language = NodeString(node, "lang");
    const std::string title = NodeString(node, "title");
    track.description = language.empty() || title.empty() ? language + title : language + " " + title;
    // A track that names nothing is still a choice the viewer must be able to tell apart.
    if (track.description.empty()) track.description = std::to_string(track.id);
    tracks.push_back(track);
  }
  mpv_free_node_contents(&list);
  return tracks;
}

}  // namespace

TKLDMpvPlayer::~TKLDMpvPlayer() { Destroy(); }

void TKLDMpvPlayer::Destroy() {
  // The render context must go before the handle it belongs to.
  if (render_) {
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
    render_ = nullptr;
  }
  if (handle_) {
    mpv_terminate_destroy(handle_);
    handle_ = nullptr;
    // The player's threads have ended; what they freed would otherwise stay in their arenas.
    ReturnFreedHeap();
  }
}

std::string TKLDMpvPlayer::AudioOutputList(const std::string& configured, bool& refusedSdl, bool soundDevice) {
  refusedSdl = false;
  std::vector<std::string> outputs;
  std::stringstream in(configured);
  std::string item;
  while (std::getline(in, item, ',')) {
    std::string name = item.substr(0, item.find(':'));
    if (name.empty()) continue;
    if (name == "sdl") {
      refusedSdl = true;
      continue;
    }
    if (name != "null") outputs.push_back(item);
  }
  if (!soundDevice) return "null";
  if (outputs.empty() && (configured.empty() || refusedSdl)) outputs = {"pulse", "alsa"};
  std::string list;
  for (const std::string& output : outputs) list += output + ",";
  return list + "null";
}

bool TKLDMpvPlayer::Create(const TKLDMpvOptions& options, bool video, std::string& error) {
  Destroy();
  video_ = video;
  handle_ = mpv_create();
  if (!handle_) {
    error = "mpv_create failed";
    return false;
  }
  // Defaults first, so that the user's mpv.conf can change them (slang and alang choose the
  // subtitle and audio languages).
  mpv_set_option_string(handle_, "hwdec", "auto-safe");
  // Subtitles beside the film are found by name ("film.srt", "film.en.srt").
  mpv_set_option_string(handle_, "sub-auto", "fuzzy");
  if (!options.configFile.empty()) {
    int result = mpv_load_config_file(handle_, options.configFile.c_str());
    if (result < 0 && result != MPV_ERROR_OPTION_NOT_FOUND)
      LogWarn("Failed to read player configuration " + options.configFile + ": " + Text(result));
  }
  // What lorvane itself needs, over whatever the configuration said.
  const std::pair<const char*, std::string> own[] = {
      {"vo", video ? "libmpv" : "null"},
      {"vid", video ? "auto" : "no"},
      {"terminal", "no"},
      {"input-default-bindings", "no"},
      {"input-vo-keyboard", "no"},
      {"osc", "no"},
      {"idle", "yes"},
      {"keep-open", "no"},
      {"pause", "yes"},
      {"audio-display", "no"},
      {"volume-max", "100"},
      // mpv's software renderer cannot turn a picture: asked to (a phone clip filmed upright),
      // it aborts the whole process. Turning is done by a filter instead (TurnUpright).
      {"video-rotate", "no"},
  };
  for (const auto& [name, value] : own) {
    int result = mpv_set_option_string(handle_, name, value.c_str());
    if (result < 0) {
      error = std::string("Failed to set player option ") + name + ": " + Text(result);
      Destroy();
      return false;
    }
  }
  if (!options.hardwareDecoding.empty())
    mpv_set_option_string(handle_, "hwdec", options.hardwareDecoding.c_str());
  if (options.audioLevels) mpv_set_option_string(handle_, "af", "@vis:lavfi=[astats=metadata=1:reset=1]");
  int result = mpv_initialize(handle_);
  if (result < 0) {
    error = Text(result);
    Destroy();
    return false;
  }
  // Options are only readable once initialised; the output list is applied when a file loads.
  std::string configured = PropertyString(handle_, "options/ao");
  if (!options.audioOutput.empty()) configured = options.audioOutput;
  bool refusedSdl = false;
  const char* soundDriver = std::getenv("SDL_AUDIODRIVER");
  const bool soundDevice = !(soundDriver && std::strcmp(soundDriver, "dummy") == 0);
  std::string outputs = AudioOutputList(configured, refusedSdl, soundDevice);
  if (refusedSdl)
    LogWarn("The sdl audio output is not used for playback (the sound effects own SDL audio)");
  result = mpv_set_property_string(handle_, "options/ao", outputs.c_str());
  if (result < 0) {
    error = "Failed to set player option ao: " + Text(result);
    Destroy();
    return false;
  }
  return true;
}

void TKLDMpvPlayer::OnUpdate(void* self) {
  auto* player = static_cast<TKLDMpvPlayer*>(self);
  if (player->onUpdate_) player->onUpdate_();
}

bool TKLDMpvPlayer::CreateRenderContext(std::function<void()> onUpdate, std::string& error) {
  if (!handle_) {
    error = "no player";
    return false;
  }
  const char* api = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(api)},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  int result = mpv_render_context_create(&render_, handle_, params);
  if (result < 0) {
    render_ = nullptr;
    error = Text(result);
    return false;
  }
  onUpdate_ = std::move(onUpdate);
  mpv_render_context_set_update_callback(render_, &TKLDMpvPlayer::OnUpdate, this);
  return true;
}

bool TKLDMpvPlayer::Load(const std::string& fileName, TKLDMpvFileInfo& info, std::string& error, int timeoutMs) {
  info = {};
  if (!handle_) {
    error = "no player";
    return false;
  }
  const char* command[] = {"loadfile", fileName.c_str(), nullptr};
  int result = mpv_command(handle_, command);
  if (result < 0) {
    error = Text(result);
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool loaded = false;
  int turn = 0;
  while (true) {
    double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      error = "timed out while opening the file";
      return false;
    }
    if (cancel_) {
      error = "opening cancelled";
      return false;
    }
    // Short waits, so that a cancel from the owner is seen soon.
    mpv_event* event = mpv_wait_event(handle_, std::min(left, 0.05));
    if (event->event_id == MPV_EVENT_END_FILE) {
      auto* end = static_cast<mpv_event_end_file*>(event->data);
      error = end->reason == MPV_END_FILE_REASON_ERROR ? Text(end->error) : "playback ended while opening";
      return false;
    }
    if (event->event_id == MPV_EVENT_SHUTDOWN) {
      error = "player shut down";
      return false;
    }
    if (event->event_id == MPV_EVENT_FILE_LOADED) {
      // The event is read after the fact: a file that ends at once (a header and no frames) may
      // be unloaded while its tracks are read. Its end comes next and tells the real error.
      if (!ReadTracks(handle_, info)) continue;
      loaded = true;
      mpv_get_property(handle_, "duration", MPV_FORMAT_DOUBLE, &info.duration);
      // Without video (or when it is not wanted) the file is ready once loaded.
      if (!video_ || !info.hasVideo) return true;
      turn = TurnUpright(handle_);
    }
    if (loaded && event->event_id == MPV_EVENT_VIDEO_RECONFIG) {
      info.width = static_cast<int>(PropertyInt(handle_, "video-params/w"));
      info.height = static_cast<int>(PropertyInt(handle_, "video-params/h"));
      info.displayWidth = static_cast<int>(PropertyInt(handle_, "video-params/dw"));
      info.displayHeight = static_cast<int>(PropertyInt(handle_, "video-params/dh"));
      // The filter that turns the picture upright swaps its sides on a quarter turn.
      if (turn % 180 == 90) std::swap(info.displayWidth, info.displayHeight);
      if (info.width > 0 && info.height > 0) return true;
    }
  }
}

bool TKLDMpvPlayer::RenderIfReady(void* pixels, int width, int height, int stride) {
  if (!render_) return false;
  if (!(mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME)) return false;
  int size[2] = {width, height};
  size_t pitch = static_cast<size_t>(stride);
  int block = 0;
  const char* format = "bgr0";
  mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                               {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(format)},
                               {MPV_RENDER_PARAM_SW_STRIDE, &pitch},
                               {MPV_RENDER_PARAM_SW_POINTER, pixels},
                               {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  return mpv_render_context_render(render_, params) >= 0;
}

bool TKLDMpvPlayer::SetPause(bool pause, std::string& error) {
  if (!handle_) return false;
  int flag = pause ? 1 : 0;
  int result = mpv_set_property(handle_, "pause", MPV_FORMAT_FLAG, &flag);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::Stop(std::string& error) {
  if (!handle_) return false;
  const char* command[] = {"stop", nullptr};
  int result = mpv_command(handle_, command);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::Position(double& seconds, std::string& error) {
  seconds = 0;
  if (!handle_) return false;
  int result = mpv_get_property(handle_, "time-pos", MPV_FORMAT_DOUBLE, &seconds);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::Seek(double seconds, std::string& error) {
  if (!handle_) return false;
  std::string target = std::to_string(seconds);
  const char* command[] = {"seek", target.c_str(), "absolute", nullptr};
  int result = mpv_command(handle_, command);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::SetVolume(double volume, std::string& error) {
  if (!handle_) return false;
  int result = mpv_set_property(handle_, "volume", MPV_FORMAT_DOUBLE, &volume);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::GetVolume(double& volume, std::string& error) {
  volume = 0;
  if (!handle_) return false;
  int result = mpv_get_property(handle_, "volume", MPV_FORMAT_DOUBLE, &volume);
  if (result < 0) error = Text(result);
  return result >= 0;
}

bool TKLDMpvPlayer::AudioLevel(double& decibels) {
  double left = 0, right = 0;
  if (!ChannelLevels(left, right)) return false;
  decibels = std::max(left, right);
  return true;
}

namespace {

// astats writes "-inf" for digital silence.
bool ParseLevel(const std::string& text, double& decibels) {
  if (text.empty()) return false;
  if (text.find("inf") != std::string::npos) {
    decibels = -120;
    return true;
  }
  try {
    decibels = std::stod(text);
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace

bool TKLDMpvPlayer::ChannelLevels(double& left, double& right) {
  if (!handle_) return false;
  // The whole map: asking for one of its dotted keys as a sub-property crashes libmpv 0.35.
  mpv_node node;
  if (mpv_get_property(handle_, "af-metadata/vis", MPV_FORMAT_NODE, &node) < 0) return false;
  bool haveLeft = false, haveRight = false;
  if (node.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < node.u.list->num; ++i) {
      const std::string key = node.u.list->keys[i];
      const mpv_node& value = node.u.list->values[i];
      if (value.format != MPV_FORMAT_STRING) continue;
      if (key == "lavfi.astats.1.RMS_level") haveLeft = ParseLevel(value.u.string, left);
      if (key == "lavfi.astats.2.RMS_level") haveRight = ParseLevel(value.u.string, right);
    }
  }
  mpv_free_node_contents(&node);
  if (haveLeft && !haveRight) right = left;
  return haveLeft;
}

bool TKLDMpvPlayer::NextTrack(bool subtitle, std::string& error) {
  if (!handle_) return false;
  std::vector<TKLDTrack> tracks = TracksOf(handle_, subtitle ? "sub" : "audio");
  if (tracks.empty()) return false;
  size_t current = tracks.size();
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].selected) current = i;
  // From none to the first; subtitles end in none, audio goes round.
  size_t next = current == tracks.size() ? 0 : current + 1;
  if (next == tracks.size() && !subtitle) next = 0;
  const std::string value = next == tracks.size() ? "no" : std::to_string(tracks[next].id);
  int result = mpv_set_property_string(handle_, subtitle ? "sid" : "aid", value.c_str());
  if (result < 0) {
    error = Text(result);
    return false;
  }
  return true;
}

std::string TKLDMpvPlayer::TrackDescription(bool subtitle) {
  if (!handle_) return {};
  for (const TKLDTrack& track : TracksOf(handle_, subtitle ? "sub" : "audio"))
    if (track.selected) return track.description;
  return {};
}

int64_t TKLDMpvPlayer::DroppedFrames() {
  if (!handle_) return 0;
  return PropertyInt(handle_, "frame-drop-count") + PropertyInt(handle_, "decoder-frame-drop-count");
}

bool TKLDMpvPlayer::PollEnded() {
  if (!handle_) return false;
  bool ended = false;
  while (true) {
    mpv_event* event = mpv_wait_event(handle_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    if (event->event_id == MPV_EVENT_END_FILE) {
      auto* end = static_cast<mpv_event_end_file*>(event->data);
      if (end->reason == MPV_END_FILE_REASON_ERROR)
        LogWarn("Playback ended with an error: " + Text(end->error));
      if (end->reason == MPV_END_FILE_REASON_EOF || end->reason == MPV_END_FILE_REASON_ERROR) ended = true;
    }
  }
  return ended;
}

}  // namespace lorvane
