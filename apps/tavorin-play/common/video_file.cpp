#include "video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <climits>

namespace play {

namespace {

std::string describe(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The codec's name, or the file's four-character tag when FFmpeg knows no codec by it.
std::string codecName(const AVCodecParameters* parameters) {
  if (parameters->codec_id != AV_CODEC_ID_NONE) return avcodec_get_name(parameters->codec_id);
  char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
  av_fourcc_make_string(tag, parameters->codec_tag);
  return tag;
}

}  // namespace

VideoFile::VideoFile() : packet_(av_packet_alloc()) {}

VideoFile::~VideoFile() {
  close();
  av_packet_free(&packet_);
}

void VideoFile::close() {
  avcodec_free_context(&decoder_);
  avformat_close_input(&format_);
  stream_ = -1;
}

bool VideoFile::open(const std::string& path, int decodeThreads, std::string* error) {
  close();
  // Damage is counted in the report; FFmpeg's own notes on it would bury the progress line.
  av_log_set_level(AV_LOG_FATAL);
  if (!packet_) {
    *error = "out of memory";
    return false;
  }
  int result = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
  if (result < 0) {
    *error = "cannot open: " + describe(result);
    return false;
  }
  result = avformat_find_stream_info(format_, nullptr);
  if (result < 0) {
    *error = "cannot read the stream layout: " + describe(result);
    return false;
  }
  const AVCodec* codec = nullptr;
  result = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (result == AVERROR_STREAM_NOT_FOUND) {
    *error = "no video stream";
    return false;
  }
  if (result == AVERROR_DECODER_NOT_FOUND || (result >= 0 && !codec)) {
    // av_find_best_stream names no stream on this answer: take the first video stream's codec.
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
      const AVCodecParameters* parameters = format_->streams[i]->codecpar;
      if (parameters->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      *error = "unsupported video codec '" + codecName(parameters) + "' (no decoder)";
      return false;
    }
    *error = "unsupported video codec (no decoder)";
    return false;
  }
  if (result < 0) {
    *error = "cannot choose a video stream: " + describe(result);
    return false;
  }
  stream_ = result;
  AVStream* stream = format_->streams[stream_];
  decoder_ = avcodec_alloc_context3(codec);
  if (!decoder_ || avcodec_parameters_to_context(decoder_, stream->codecpar) < 0) {
    *error = "cannot set up the decoder";
    return false;
  }
  decoder_->thread_count = decodeThreads;
  decoder_->pkt_timebase = stream->time_base;
  result = avcodec_open2(decoder_, codec, nullptr);
  if (result < 0) {
    *error = "cannot open the " + codecName(stream->codecpar) + " decoder: " + describe(result);
    return false;
  }

  info_ = VideoStreamInfo();
  info_.width = decoder_->width;
  info_.height = decoder_->height;
  AVRational sample = av_guess_sample_aspect_ratio(format_, stream, nullptr);
  if (sample.num > 0 && sample.den > 0) info_.sampleAspect = av_q2d(sample);
  // The decoder may learn its pixel format only from the first picture; the stream layout
  // read from the file names it already.
  AVPixelFormat format = decoder_->pix_fmt != AV_PIX_FMT_NONE ? decoder_->pix_fmt
                                                              : static_cast<AVPixelFormat>(stream->codecpar->format);
  const AVPixFmtDescriptor* pixels = av_pix_fmt_desc_get(format);
  info_.alpha = pixels && (pixels->flags & AV_PIX_FMT_FLAG_ALPHA);
  AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) info_.periodMs = 1000.0 / av_q2d(rate);
  info_.codec = codecName(stream->codecpar);
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    info_.durationMs = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
  } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    info_.durationMs = av_rescale_q(format_->duration, AV_TIME_BASE_Q, AVRational{1, 1000});
  }
  startPts_ = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  draining_ = finished_ = false;
  return true;
}

bool VideoFile::receive(AVFrame* frame) {
  while (!finished_) {
    int result = avcodec_receive_frame(decoder_, frame);
    if (result == 0) {
      // A picture the decoder patched up over damaged data plays, and is counted.
      if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT)) ++damaged_;
      return true;
    }
    if (result == AVERROR_EOF) break;
    if (result != AVERROR(EAGAIN)) {
      ++damaged_;  // a picture that could not be decoded; the next packet may be fine
      continue;
    }
    if (draining_) break;
    result = av_read_frame(format_, packet_);
    if (result < 0) {
      if (result != AVERROR_EOF) ++damaged_;  // a read error ends the input like its end
      draining_ = true;
      avcodec_send_packet(decoder_, nullptr);  // answer ignored: draining cannot be refused here
      continue;
    }
    if (packet_->stream_index == stream_) {
      result = avcodec_send_packet(decoder_, packet_);
      if (result < 0 && result != AVERROR(EAGAIN)) ++damaged_;
    }
    av_packet_unref(packet_);
  }
  finished_ = true;
  return false;
}

bool VideoFile::nextFrame(AVFrame* frame) {
  av_frame_unref(frame);
  return decoder_ && receive(frame);
}

int64_t VideoFile::frameTime(const AVFrame* frame) const {
  int64_t stamp = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
  if (stamp == AV_NOPTS_VALUE) return INT64_MIN;
  return av_rescale_q(stamp - startPts_, format_->streams[stream_]->time_base, AVRational{1, 1000});
}

double VideoFile::frameDuration(const AVFrame* frame) const {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  int64_t length = frame->duration;
#else
  int64_t length = frame->pkt_duration;
#endif
  if (length <= 0) return 0;
  return static_cast<double>(length) * av_q2d(format_->streams[stream_]->time_base) * 1000.0;
}

bool VideoFile::seek(int64_t ms) {
  if (!decoder_) return false;
  int64_t target = startPts_ + av_rescale_q(ms, AVRational{1, 1000}, format_->streams[stream_]->time_base);
  if (av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(decoder_);
  draining_ = finished_ = false;
  return true;
}

}  // namespace play
