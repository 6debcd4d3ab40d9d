#include "platform/FilmReader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace lorvane {

namespace {

struct TInputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct TCodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TScaleFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using TInput = std::unique_ptr<AVFormatContext, TInputCloser>;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool Open(const std::string& path, TInput& input, std::string& error) {
  // A broken film's reasons reach the log through our own messages; FFmpeg's lines would go to
  // the terminal, one per damaged header, for every folder shown.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  AVFormatContext* context = nullptr;
  int result = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (result < 0) {
    error = AvError(result);
    return false;
  }
  input.reset(context);
  result = avformat_find_stream_info(context, nullptr);
  if (result < 0) {
    error = AvError(result);
    return false;
  }
  return true;
}

// Quarter turns clockwise the display matrix asks for.
int QuarterTurns(const AVStream* stream) {
  size_t size = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix || size < 9 * sizeof(int32_t)) return 0;
  const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(degrees)) return 0;
  // The matrix's angle is counter-clockwise.
  const long turns = std::lround(-degrees / 90.0);
  return static_cast<int>(((turns % 4) + 4) % 4);
}

void Rotate(TKLDFilmFrame& frame, int turns) {
  if (turns == 0) return;
  const int w = frame.width, h = frame.height;
  const int nw = turns == 2 ? w : h, nh = turns == 2 ? h : w;
  std::vector<uint8_t> out(frame.bgra.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int nx = x, ny = y;
      if (turns == 1) nx = h - 1 - y, ny = x;
      else if (turns == 2) nx = w - 1 - x, ny = h - 1 - y;
      else nx = y, ny = w - 1 - x;
      std::copy_n(&frame.bgra[(size_t(y) * w + x) * 4], 4, &out[(size_t(ny) * nw + nx) * 4]);
    }
  frame.bgra.swap(out);
  frame.width = nw;
  frame.height = nh;
}

}  // namespace

bool ReadFilmInfo(const std::string& path, TKLDFilmInfo& info, std::string& error) {
  TInput input;
  if (!Open(path, input, error)) return false;
  if (const AVDictionaryEntry* title = av_dict_get(input->metadata, "title", nullptr, 0))
    info.title = title->value;
  if (input->duration > 0) info.duration = double(input->duration) / AV_TIME_BASE;
  return true;
}

bool GrabFilmFrame(const std::string& path, int maxWidth, int maxHeight, TKLDFilmFrame& frame,
                   std::string& error) {
  if (maxWidth <= 0 || maxHeight <= 0) {
    error = "no picture size";
    return false;
  }
  TInput input;
  if (!Open(path, input, error)) return false;
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (index < 0 || !codec) {
    error = "no video track";
    return false;
  }
  AVStream* stream = input->streams[index];
  std::unique_ptr<AVCodecContext, TCodecCloser> decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) {
    error = "cannot set the decoder up";
    return false;
  }
  // Two threads at most: the picture must not take the processors from the frame loop.
  decoder->thread_count = 2;
  int result = avcodec_open2(decoder.get(), codec, nullptr);
  if (result < 0) {
    error = AvError(result);
    return false;
  }
  for (unsigned i = 0; i < input->nb_streams; ++i)
    if (int(i) != index) input->streams[i]->discard = AVDISCARD_ALL;

  int64_t target = AV_NOPTS_VALUE;
  if (input->duration > 0 && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    const int64_t at = input->duration / 10;
    if (av_seek_frame(input.get(), -1, at + std::max<int64_t>(0, input->start_time), AVSEEK_FLAG_BACKWARD) >= 0) {
      avcodec_flush_buffers(decoder.get());
      target = av_rescale_q(at, AVRational{1, AV_TIME_BASE}, stream->time_base);
      if (stream->start_time != AV_NOPTS_VALUE) target += stream->start_time;
    }
  }

  std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, TFrameFree> decoded(av_frame_alloc());
  std::unique_ptr<AVFrame, TFrameFree> kept;
  // From the key frame before the target, decode on towards the target, but only a dozen frames:
  // a picture near a tenth of the way is as good as one exactly there, and a film with key
  // frames ten seconds apart would otherwise cost hundreds of decoded frames.
  int decodedCount = 0;
  bool draining = false;
  while (decodedCount < 12) {
    if (!draining) {
      result = av_read_frame(input.get(), packet.get());
      if (result < 0) {
        draining = true;
        avcodec_send_packet(decoder.get(), nullptr);
      } else {
        if (packet->stream_index == index) avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
      }
    }
    bool ended = false;
    while ((result = avcodec_receive_frame(decoder.get(), decoded.get())) >= 0) {
      ++decodedCount;
      if (!kept) kept.reset(av_frame_alloc());
      av_frame_unref(kept.get());
      av_frame_move_ref(kept.get(), decoded.get());
      const int64_t pts = kept->best_effort_timestamp;
      if (target == AV_NOPTS_VALUE || pts == AV_NOPTS_VALUE || pts >= target || decodedCount >= 12) {
        ended = true;
        break;
      }
    }
    if (ended || (draining && result == AVERROR_EOF)) break;
    if (draining && result < 0 && result != AVERROR(EAGAIN)) break;
  }
  if (!kept || kept->width <= 0 || kept->height <= 0) {
    error = "no frame could be decoded";
    return false;
  }

  // The size a viewer sees: square pixels, then turned.
  AVRational sar = av_guess_sample_aspect_ratio(input.get(), stream, kept.get());
  double shownWidth = kept->width, shownHeight = kept->height;
  if (sar.num > 0 && sar.den > 0) shownWidth = shownWidth * sar.num / sar.den;
  const int turns = QuarterTurns(stream);
  // Fit the turned picture, then scale the unturned one to match.
  const double fitW = turns % 2 ? maxHeight : maxWidth, fitH = turns % 2 ? maxWidth : maxHeight;
  const double f = std::min({1.0, fitW / shownWidth, fitH / shownHeight});
  const int w = std::max(1, int(std::lround(shownWidth * f)));
  const int h = std::max(1, int(std::lround(shownHeight * f)));
  std::unique_ptr<SwsContext, TScaleFree> scale(
      sws_getContext(kept->width, kept->height, static_cast<AVPixelFormat>(kept->format), w, h,
                     AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scale) {
    error = "cannot convert the frame's pixels";
    return false;
  }
  frame.width = w;
  frame.height = h;
  frame.bgra.assign(size_t(w) * h * 4, 0);
  uint8_t* planes[4] = {frame.bgra.data(), nullptr, nullptr, nullptr};
  int strides[4] = {w * 4, 0, 0, 0};
  sws_scale(scale.get(), kept->data, kept->linesize, 0, kept->height, planes, strides);
  for (size_t i = 3; i < frame.bgra.size(); i += 4) frame.bgra[i] = 255;
  Rotate(frame, turns);
  return true;
}

}  // namespace lorvane
