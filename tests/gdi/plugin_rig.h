// An engine around the loaded plug-in: it loads the library by file name, creates the output
// with a manual clock and a window of its own, hands the window over through the adapter the
// renderer offers, and drives push channels through their ports. Composition is then checked
// on the window's pixels.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine_component.h"
#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/host_window.h"
#include "engine/library_loader.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "engine/video_sample.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"
#include "abi/video_adapter.h"
#include "framework/geometry.h"
#include "support/eventually.h"
#include "support/temp_data_folder.h"

namespace gdi_testing {

using KMC::PortInterface;
using KMC::PropertyValue;
using KMC::RectFloat;
using KMC::RectInt;

const uint32_t kRed = 0x00FF0000;
const uint32_t kGreen = 0x0000FF00;
const uint32_t kBlue = 0x000000FF;
const uint32_t kWhite = 0x00FFFFFF;
const uint32_t kOpaque = 0xFF000000;

using testsupport::eventually;

// The plug-in stays loaded for the whole test program, as an engine keeps it, so each rig
// meets the library's process-wide state (its logger) as an engine would.
inline host::LibraryLoader& pluginLibrary() {
  static host::LibraryLoader* library = new host::LibraryLoader(host::defaultPluginPath());
  return *library;
}

// Colour bytes the window should show at (x, y).
typedef std::function<uint32_t(int32_t x, int32_t y)> Picture;

class PluginRig {
 private:
  // First member: whatever the plug-in's format cache writes goes here and outlives it.
  testsupport::TempDataFolder dataFolder_{"tavorin-plugin-data"};

 public:
  explicit PluginRig(int32_t windowWidth = 640, int32_t windowHeight = 480)
      : clock(1000), context(&clock), window(windowWidth, windowHeight), engine("Test Machine") {}
  ~PluginRig() { shutdown(); }

  // Loads the plug-in and starts create on a thread of its own (create waits for a window).
  bool load() {
    if (!library.isLoaded()) {
      ADD_FAILURE() << library.error();
      return false;
    }
    if (!engine.open(library, &pluginHost)) {
      ADD_FAILURE() << engine.error();
      return false;
    }
    plugin = engine.plugin();
    component = engine.component();
    output = engine.output();
    createThread = std::thread([this] {
      createAnswer.store(component->create(&context) ? 1 : 0);
    });
    return true;
  }

  // The renderer's adapter, once it has given one (null until then).
  KMC::VideoAdapterHWND* adapter() const { return static_cast<KMC::VideoAdapterHWND*>(context.videoAdapter()); }
  bool waitForAdapter() { return eventually([this] { return adapter() != nullptr; }); }
  bool createReturned() const { return createAnswer.load() != -1; }
  // Joins create; true when it answered true.
  bool finishCreate() {
    if (createThread.joinable()) createThread.join();
    return createAnswer.load() == 1;
  }

  // Load, draw on the whole window, and wait for create.
  bool start(const RectInt& drawRect) {
    if (!load() || !waitForAdapter()) return false;
    adapter()->setDrawRect(host::rectInt(drawRect.left, drawRect.top, drawRect.right, drawRect.bottom));
    adapter()->setWindow(window.handle());
    return finishCreate();
  }
  bool start() { return start(RectInt(0, 0, window.width() - 1, window.height() - 1)); }

  // A connected, running push channel with the given id and format, placed at place.
  PortInterface* addChannel(int32_t channelId, const char* fourCC, const RectFloat& where = RectFloat(0, 0, 1, 1)) {
    descriptors.push_back(host::makeStreamDescriptor(fourCC));
    streams.emplace_back(new host::EngineStream(channelId));
    PortInterface* port = output->createPort(KMC::kChannelPush, &descriptors.back(), streams.back().get());
    if (!port) return nullptr;
    ports.push_back(port);
    PropertyValue none = PropertyValue::ofPointer(KMC::kPropertyObject, nullptr);
    port->portCommand(KMC::kCommandConnect, &none);
    port->portCommand(KMC::kCommandRun, &none);
    place(port, where);
    return port;
  }
  // A channel on the whole drawing area, with id 1, selected alone.
  PortInterface* addOnlyChannel(const char* fourCC) {
    PortInterface* port = addChannel(1, fourCC);
    if (port) select({1});
    return port;
  }
  void place(PortInterface* port, RectFloat where) {
    KMC::RectFloatRecord record = host::rectFloat(where.left, where.top, where.right, where.bottom);
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, &record);
    EXPECT_TRUE(port->setPortValue(KMC::kValueSetOutputRect, &value));
  }
  void setDisplayFactors(PortInterface* port, KMC::MaskedFloat4 factors) {
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, &factors);
    EXPECT_TRUE(port->setPortValue(KMC::kValueSetDisplayFactors, &value));
  }
  void select(std::initializer_list<int32_t> wanted) {
    host::OwnedIdList ids(wanted);
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, ids.get());
    EXPECT_TRUE(component->setParameter(KMC::kParameterSelectChannels, &value));
  }
  // A frame due now (the clock stands at 1000), filled with colour.
  host::OwnedVideoSample* frame(int32_t width, int32_t height, uint32_t colour) {
    host::OwnedVideoSample* sample = ledger.make(1000, 40, width, height);
    sample->fill(colour);
    return sample;
  }
  void push(PortInterface* port, KMC::VideoSample* sample) {
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, sample);
    EXPECT_TRUE(port->setPortValue(KMC::kValueDeliverFrame, &value));
  }

  // The number of pixels of the window that differ from expected, and a description of the
  // first few.
  int32_t mismatches(const Picture& expected, std::string* report = nullptr) const {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels = window.readPixels(&width, &height);
    int32_t count = 0;
    std::ostringstream text;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        uint32_t got = pixels[static_cast<size_t>(y) * width + x] & 0x00FFFFFF;
        uint32_t want = expected(x, y) & 0x00FFFFFF;
        if (got == want) continue;
        if (count < 5) text << " (" << x << "," << y << ") has " << std::hex << got << " not " << want << std::dec;
        ++count;
      }
    }
    if (report) *report = text.str();
    return count;
  }
  // Waits until the window shows expected, then checks it pixel by pixel.
  void expectPicture(const Picture& expected) {
    eventually([&] { return mismatches(expected) == 0; });
    std::string report;
    EXPECT_EQ(mismatches(expected, &report), 0) << report;
  }

  // Disconnects and removes every port, destroys the output and lets it go.
  void shutdown() {
    if (!plugin) {
      if (createThread.joinable()) createThread.join();
      return;
    }
    if (createThread.joinable()) {
      // create still waits for a window: give it one so it can return.
      if (waitForAdapter()) adapter()->setWindow(window.handle());
      createThread.join();
    }
    PropertyValue none = PropertyValue::ofPointer(KMC::kPropertyObject, nullptr);
    for (PortInterface* port : ports) port->portCommand(KMC::kCommandDisconnect, &none);
    for (PortInterface* port : ports) output->removePort(port);
    ports.clear();
    component->destroy();
    engine.release();
    plugin = nullptr;
  }

  host::LibraryLoader& library = pluginLibrary();
  host::RecordingPluginHost pluginHost;
  host::ManualMediaClock clock;
  host::EngineContext context;
  host::SampleLedger ledger;
  host::HostWindow window;
  host::EngineComponent engine;
  KMC::Plugin* plugin = nullptr;
  KMC::ComponentInterface* component = nullptr;
  KMC::OutputInterface* output = nullptr;
  std::thread createThread;
  std::atomic<int> createAnswer{-1};
  std::list<KMC::StreamDescriptor> descriptors;
  std::vector<std::unique_ptr<host::EngineStream>> streams;
  std::vector<PortInterface*> ports;
};

}  // namespace gdi_testing
