// The engine's side of the protocol: the host, the component context with its adapter choice,
// settings and event log, a media clock the client sets by hand, frames that count their
// releases, an upstream source for a pulled channel, and stream objects.
//
// The plug-in calls these from its output and pull threads, so everything they record is
// written with atomic operations and read by the client's main thread.
#pragma once

#include "engine_declarations.h"
#include "win32_api.h"

namespace client {

inline int32_t atomicLoad(const int32_t* p) { return __atomic_load_n(p, __ATOMIC_SEQ_CST); }
inline void atomicStore(int32_t* p, int32_t v) { __atomic_store_n(p, v, __ATOMIC_SEQ_CST); }
inline int32_t atomicAdd(int32_t* p, int32_t v) { return __atomic_add_fetch(p, v, __ATOMIC_SEQ_CST); }

// Calls of positions the plug-in must never make (entry 0 of an engine object, placeholders):
// counted, with the last one named.
struct StrayCalls {
  int32_t count;
  const char* last;
};
extern StrayCalls g_strayCalls;
void noteStrayCall(const char* what);

class EngineHost : public KMC::PluginHost {
 public:
  ~EngineHost() override;
  int32_t reserved1() override { noteStrayCall("PluginHost 1"); return 0; }
  int32_t reserved2() override { noteStrayCall("PluginHost 2"); return 0; }
  int32_t reserved3() override { noteStrayCall("PluginHost 3"); return 0; }
  int32_t reserved4() override { noteStrayCall("PluginHost 4"); return 0; }
  int32_t reserved5() override { noteStrayCall("PluginHost 5"); return 0; }
  int32_t reserved6() override { noteStrayCall("PluginHost 6"); return 0; }
  int32_t reserved7() override { noteStrayCall("PluginHost 7"); return 0; }
  int32_t pluginDeleting(KMC::Plugin* plugin) override;
  int32_t pluginDeleted(KMC::Plugin* plugin) override;

  int32_t deletingCalls = 0;
  int32_t deletedCalls = 0;
  KMC::Plugin* deletingPointer = nullptr;
  KMC::Plugin* deletedPointer = nullptr;
  // Whether pluginDeleting came first.
  bool inOrder = true;
};

class EngineClock : public KMC::MediaClock {
 public:
  ~EngineClock() override;
  int32_t reserved1() override { noteStrayCall("MediaClock 1"); return 0; }
  int32_t reserved2() override { noteStrayCall("MediaClock 2"); return 0; }
  int32_t currentTime() override { atomicAdd(&timeCalls, 1); return atomicLoad(&now); }
  int32_t reserved4() override { noteStrayCall("MediaClock 4"); return 0; }
  bool isRunning() override { atomicAdd(&runningCalls, 1); return true; }
  int32_t reserved6() override { noteStrayCall("MediaClock 6"); return 0; }
  int32_t rate() override { atomicAdd(&rateCalls, 1); return 1000; }

  int32_t now = 0;
  int32_t timeCalls = 0;
  int32_t runningCalls = 0;
  int32_t rateCalls = 0;
};

// A solid-colour BGRX frame.
class EngineFrame : public KMC::VideoSample {
 public:
  EngineFrame(uint32_t colour, int32_t start, uint32_t durationMs);
  ~EngineFrame() override;
  int32_t reserved1() override { noteStrayCall("VideoSample 1"); return 0; }
  int32_t release() override { atomicAdd(&releases, 1); return 0; }
  uint32_t* data() override { atomicAdd(&dataCalls, 1); return pixels; }
  int32_t dataDone() override { return 0; }

  static const int32_t kWidth = 32;
  static const int32_t kHeight = 24;
  uint32_t pixels[kWidth * kHeight];
  uint32_t colour;
  int32_t handed = 0;    // given to the plug-in (delivered or pulled)
  int32_t releases = 0;
  int32_t dataCalls = 0;
};

// Answers the given frames in order, then false (nothing more to pull).
class EngineSource : public KMC::UpstreamSource {
 public:
  EngineSource(EngineFrame** frames, int32_t count) : frames_(frames), count_(count) {}
  ~EngineSource() override;
  int32_t reserved1() override { noteStrayCall("UpstreamSource 1"); return 0; }
  int32_t reserved2() override { noteStrayCall("UpstreamSource 2"); return 0; }
  bool pull(int32_t code, KMC::PropertyValue* out) override;

  int32_t pulls = 0;
  int32_t badCode = 0;
  int32_t handedOut = 0;

 private:
  EngineFrame** frames_;
  int32_t count_;
};

class EngineStream : public KMC::StreamObject {
 public:
  explicit EngineStream(int32_t id) : id_(id) {}
  ~EngineStream() override;
  int32_t channelId() override { atomicAdd(&idCalls, 1); return id_; }
  int32_t setTimeMultiplier(KMC::TimeMultiplierInterface* m) override {
    multiplier = m;
    atomicAdd(&multiplierCalls, 1);
    return 0;
  }

  int32_t idCalls = 0;
  int32_t multiplierCalls = 0;
  KMC::TimeMultiplierInterface* multiplier = nullptr;

 private:
  int32_t id_;
};

class EngineContext : public KMC::ComponentContext {
 public:
  ~EngineContext() override;
  int32_t chooseVideoAdapter(KMC::StringList* kinds) override;
  int32_t setVideoAdapter(KMC::VideoAdapterUnknown* adapter) override;
  int32_t videoSizeChanged(int32_t width, int32_t height) override;
  int32_t windowSizeChanged(int32_t width, int32_t height) override;
  int32_t channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) override;
  int32_t reserved6() override { noteStrayCall("ComponentContext 6"); return 0; }
  int32_t reserved7() override { noteStrayCall("ComponentContext 7"); return 0; }
  int32_t reserved8() override { noteStrayCall("ComponentContext 8"); return 0; }
  bool getSetting(KMC::Setting& setting, KMC::PropertyValue* out) override;
  KMC::MediaClock* getClock() override { atomicAdd(&clockCalls, 1); return clock; }

  // What the engine does with a new adapter: give it the window and a drawing rectangle.
  HWND window = nullptr;
  KMC::RectInt firstDrawRect;

  EngineClock* clock = nullptr;
  int32_t chooseCalls = 0;
  int32_t hwndIndex = -1;     // index of the window-handle kind in the last list
  int32_t kindCount = -1;
  int32_t adapterCalls = 0;
  int32_t nullAdapterCalls = 0;
  KMC::VideoAdapterUnknown* adapter = nullptr;
  int32_t clockCalls = 0;
  int32_t settingCalls = 0;
  int32_t settingAsExpected = 0;  // kind 1, "VideoDriver|FormatCache", "Enabled"
  int32_t windowWidth = 0, windowHeight = 0, windowSizeCalls = 0;
  int32_t videoSizeCalls = 0;

  // channelEvent log: presentations per channel (code 2), late drops (code 4).
  static const int32_t kMaxEvents = 256;
  struct Event {
    int32_t channel;
    int32_t code;
    KMC::VideoSample* object;
  };
  Event events[kMaxEvents];
  int32_t eventCount = 0;
  int32_t presentedCount(int32_t channel, KMC::VideoSample* frame) const;
  int32_t droppedCount() const;
};

}  // namespace client
