// A video file opened with FFmpeg's libraries: its best video stream, a decoder for it, and
// the decoded pictures one at a time. FFmpeg's headers stay out of this header.
//
// Damaged input does not end the run: a packet the decoder refuses, or a decoding error, is
// counted and skipped, and decoding goes on with the next packet; a picture the decoder
// patched up over damaged data is counted and plays. A read error other than the
// end of the file ends the stream like its end (what was read plays), and is counted too.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace play {

// What the file says of its video stream.
struct VideoStreamInfo {
  int width = 0;
  int height = 0;
  double sampleAspect = 1;   // width of a sample over its height; 1 when the file gives none
  bool alpha = false;        // the decoder's pixel format has an alpha channel
  double periodMs = 0;       // nominal frame distance from the stream's average rate; 0 = unknown
  int64_t durationMs = 0;    // the file's length as its header gives it; 0 = unknown
  std::string codec;         // the codec's name
};

class VideoFile {
 public:
  VideoFile();
  ~VideoFile();
  VideoFile(const VideoFile&) = delete;
  VideoFile& operator=(const VideoFile&) = delete;

  // Opens path, picks its best video stream and opens a decoder on decodeThreads threads
  // (0: FFmpeg chooses). Answers true, or false with *error saying what is wrong (without the
  // file's name: the caller adds it).
  bool open(const std::string& path, int decodeThreads, std::string* error);
  const VideoStreamInfo& info() const { return info_; }

  // Decodes the next picture into frame (which is unreferenced first). Answers false at the
  // end of the stream. The frame's time is frameTime(); its own duration frameDuration().
  bool nextFrame(AVFrame* frame);
  // The picture's timestamp in milliseconds from the stream's start; INT64_MIN when unknown.
  int64_t frameTime(const AVFrame* frame) const;
  // The duration the picture carries, in milliseconds; 0 when it carries none.
  double frameDuration(const AVFrame* frame) const;

  // Goes to the key frame at or before media time ms (from the stream's start) and empties
  // the decoder; answers false when the file cannot seek.
  bool seek(int64_t ms);

  // Packets the decoder refused, decoding or read errors skipped, and pictures patched up over
  // damage, so far. Any thread.
  int64_t damagedPackets() const { return damaged_.load(); }

 private:
  // Feeds the decoder packets until it has a picture or the input is over.
  bool receive(AVFrame* frame);
  void close();

  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_ = -1;
  int64_t startPts_ = 0;       // the stream's first timestamp, in its time base
  bool draining_ = false;      // the input is over; the decoder gives back what it holds
  bool finished_ = false;
  std::atomic<int64_t> damaged_{0};
  VideoStreamInfo info_;
};

}  // namespace play
