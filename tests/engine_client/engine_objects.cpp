#include "engine_objects.h"

namespace client {

StrayCalls g_strayCalls = {0, nullptr};

void noteStrayCall(const char* what) {
  atomicAdd(&g_strayCalls.count, 1);
  __atomic_store_n(&g_strayCalls.last, what, __ATOMIC_SEQ_CST);
}

// Entry 0 (the deleting destructor) of an engine object is the engine's own business: a call
// from the plug-in is a stray call. The client never destroys its engine objects (they live
// until the process ends), so every destructor call is the plug-in's.
EngineHost::~EngineHost() { noteStrayCall("PluginHost 0"); }
EngineClock::~EngineClock() { noteStrayCall("MediaClock 0"); }
EngineFrame::~EngineFrame() { noteStrayCall("VideoSample 0"); }
EngineSource::~EngineSource() { noteStrayCall("UpstreamSource 0"); }
EngineStream::~EngineStream() { noteStrayCall("StreamObject 0"); }
EngineContext::~EngineContext() { noteStrayCall("ComponentContext 0"); }

int32_t EngineHost::pluginDeleting(KMC::Plugin* plugin) {
  atomicAdd(&deletingCalls, 1);
  deletingPointer = plugin;
  return 0;
}

int32_t EngineHost::pluginDeleted(KMC::Plugin* plugin) {
  if (atomicLoad(&deletingCalls) == 0) inOrder = false;
  atomicAdd(&deletedCalls, 1);
  deletedPointer = plugin;
  return 0;
}

EngineFrame::EngineFrame(uint32_t c, int32_t start, uint32_t durationMs)
    : KMC::VideoSample(), colour(c) {
  usable = 1;
  for (uint32_t i = 0; i < sizeof gap8; ++i) gap8[i] = 0;
  for (uint32_t i = 0; i < sizeof gap52; ++i) gap52[i] = 0;
  for (uint32_t i = 0; i < sizeof gap76; ++i) gap76[i] = 0;
  startTime = start;
  duration = durationMs;
  width = kWidth;
  height = kHeight;
  crop = KMC::RectFloat(0, 0, 1, 1);
  picture = KMC::RectInt(0, 0, 0, 0);
  stride = kWidth;
  bottomUp = 0;
  for (int32_t i = 0; i < kWidth * kHeight; ++i) pixels[i] = c;
}

bool EngineSource::pull(int32_t code, KMC::PropertyValue* out) {
  atomicAdd(&pulls, 1);
  if (code != 0x200c000a || !out) {
    atomicAdd(&badCode, 1);
    return false;
  }
  int32_t next = atomicLoad(&handedOut);
  if (next >= count_) return false;
  out->type = KMC::kTypeObject;
  out->payload.pointer = static_cast<KMC::VideoSample*>(frames_[next]);
  atomicStore(&frames_[next]->handed, 1);
  atomicStore(&handedOut, next + 1);
  return true;
}

namespace {

bool stringIs(const KMC::NarrowString& s, const char* expected) {
  if (!s.data) return false;
  if (s.length != static_cast<int32_t>(textLength(expected))) return false;
  return textEquals(s.data, expected);
}

}  // namespace

int32_t EngineContext::chooseVideoAdapter(KMC::StringList* kinds) {
  atomicAdd(&chooseCalls, 1);
  int32_t index = -1;
  int32_t n = 0;
  // Bounded walk: a list read with the wrong layout must not run away.
  for (KMC::Node<KMC::NarrowString>* node = kinds ? kinds->head : nullptr; node && n < 16;
       node = node->next, ++n) {
    if (index < 0 && stringIs(node->value, "com.kestra.videoadapter.HWND")) index = n;
  }
  kindCount = n;
  atomicStore(&hwndIndex, index);
  return index;
}

int32_t EngineContext::setVideoAdapter(KMC::VideoAdapterUnknown* newAdapter) {
  atomicAdd(&adapterCalls, 1);
  if (!newAdapter) {
    atomicAdd(&nullAdapterCalls, 1);
    adapter = nullptr;
    return 0;
  }
  adapter = newAdapter;
  // The kind chosen is the window-handle kind, so the adapter is one: give it the window and
  // the first drawing rectangle, by value as compiled engine code passes it.
  KMC::VideoAdapterHWND* hwndAdapter = static_cast<KMC::VideoAdapterHWND*>(newAdapter);
  hwndAdapter->setWindow(window);
  hwndAdapter->setDrawRect(firstDrawRect);
  return 0;
}

int32_t EngineContext::videoSizeChanged(int32_t, int32_t) {
  atomicAdd(&videoSizeCalls, 1);
  return 0;
}

int32_t EngineContext::windowSizeChanged(int32_t width, int32_t height) {
  atomicStore(&windowWidth, width);
  atomicStore(&windowHeight, height);
  atomicAdd(&windowSizeCalls, 1);
  return 0;
}

int32_t EngineContext::channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) {
  int32_t slot = atomicAdd(&eventCount, 1) - 1;
  if (slot < kMaxEvents) {
    events[slot].channel = channelId;
    events[slot].code = code;
    events[slot].object = object;
  }
  return 0;
}

int32_t EngineContext::presentedCount(int32_t channel, KMC::VideoSample* frame) const {
  int32_t n = 0, total = atomicLoad(&eventCount);
  for (int32_t i = 0; i < total && i < kMaxEvents; ++i) {
    if (events[i].code == 2 && events[i].channel == channel && events[i].object == frame) ++n;
  }
  return n;
}

int32_t EngineContext::droppedCount() const {
  int32_t n = 0, total = atomicLoad(&eventCount);
  for (int32_t i = 0; i < total && i < kMaxEvents; ++i) n += events[i].code == 4;
  return n;
}

bool EngineContext::getSetting(KMC::Setting& setting, KMC::PropertyValue* out) {
  atomicAdd(&settingCalls, 1);
  if (setting.kind == 1 && stringIs(setting.path, "VideoDriver|FormatCache") &&
      stringIs(setting.name, "Enabled")) {
    atomicAdd(&settingAsExpected, 1);
  }
  // The format cache stays off: the answer is false (and the payload zero).
  if (out) out->payload.int32 = 0;
  return false;
}

}  // namespace client
