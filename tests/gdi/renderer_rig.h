// A Tavorin built in-process, created against the engine stand-in with a window, then stopped
// (destroy joins the output thread) so that a test or benchmark can call the renderer
// operations itself on one thread, with channels of its own.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/host_window.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "abi/video_adapter.h"
#include "gdi/channel_surface.h"
#include "gdi/tavorin.h"
#include "support/eventually.h"
#include "support/temp_data_folder.h"

namespace gdi_testing {

// Exposes the output's registerFormat, which renderers reach as a protected member.
class OpenTavorin final : public KMC::Tavorin {
 public:
  explicit OpenTavorin(KMC::PluginHost* host) : KMC::Tavorin(host) {}
  using KMC::Tavorin::registerFormat;
};

// Creates the output as an engine does: create runs on a thread of its own and waits for a
// window, which the engine gives through the adapter the renderer offers, on the whole window.
// Answers create's answer.
inline bool createWithWindow(KMC::Tavorin* tavorin, host::EngineContext& context, host::HostWindow& window) {
  std::atomic<int> answer{-1};
  std::thread creator([&] { answer.store(tavorin->create(&context) ? 1 : 0); });
  testsupport::eventually([&] { return context.videoAdapter() != nullptr; });
  KMC::VideoAdapterHWND* adapter = static_cast<KMC::VideoAdapterHWND*>(context.videoAdapter());
  if (adapter) {
    adapter->setDrawRect(host::rectInt(0, 0, window.width() - 1, window.height() - 1));
    adapter->setWindow(window.handle());
  }
  creator.join();
  return answer.load() == 1;
}

class RendererRig {
 private:
  // First member: whatever the renderer's format cache writes goes here and outlives it.
  testsupport::TempDataFolder dataFolder_{"tavorin-renderer-data"};

 public:
  typedef KMC::Tavorin::Channel Channel;

  RendererRig(int32_t width, int32_t height)
      : clock(1000), context(&clock), window(width, height), tavorin(new OpenTavorin(&pluginHost)) {
    descriptor.name = KMC::NarrowString("Test Machine", &KMC::StandardAllocator<char>::instance());
    tavorin->setDescriptor(&descriptor);
  }
  ~RendererRig() {
    channels.clear();  // detached by the tests that attached them
    delete tavorin;
  }

  // Creates the output, gives it the window, stops the output thread again and takes the
  // window's device context for calls made by the caller's thread.
  bool createAndStop() {
    if (!createWithWindow(tavorin, context, window)) return false;
    tavorin->destroy();
    return tavorin->initializeRenderer();
  }

  // A channel of the given format, attached to the renderer.
  Channel* addChannel(const char* fourCC) {
    descriptors.emplace_back(new KMC::StreamDescriptor(host::makeStreamDescriptor(fourCC)));
    channels.emplace_back(new Channel(tavorin, false, descriptors.back().get()));
    tavorin->attachChannel(channels.back().get());
    return channels.back().get();
  }
  static KMC::ChannelSurface* surfaceOf(Channel* channel) {
    return static_cast<KMC::ChannelSurface*>(channel->rendererData);
  }
  // What the presentation loop does with a due frame: accept, take over its sizes, convert.
  // Answers the frame the channel showed before.
  KMC::VideoSample* present(Channel* channel, KMC::VideoSample* frame) {
    tavorin->acceptFrame(channel, frame);
    if (frame->bottomUp == 1) channel->bottomUpFrameSeen = true;
    if (frame->width != 0 && frame->height != 0) {
      channel->width = frame->width;
      channel->height = frame->height;
    }
    if (KMC::RectInt(frame->picture).isNonEmpty()) channel->pictureRect = KMC::RectInt(frame->picture);
    return tavorin->convertFrame(channel, frame);
  }

  host::RecordingPluginHost pluginHost;
  host::ManualMediaClock clock;
  host::EngineContext context;
  host::HostWindow window;
  KMC::PluginDescriptor descriptor;
  OpenTavorin* tavorin;
  std::vector<std::unique_ptr<KMC::StreamDescriptor>> descriptors;
  std::vector<std::unique_ptr<Channel>> channels;
};

}  // namespace gdi_testing
