// The engine's side of one component (ComponentContext): the media clock, a settings store,
// the adapter choice, and a record of everything the component reports back.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "abi/engine_objects.h"

namespace host {

// One channelEvent call. startTime is the frame's start time for kEventPresented and
// kEventDroppedLate, read during the call; 0 otherwise.
struct ChannelEventRecord {
  int32_t channelId;
  int32_t code;
  const KMC::VideoSample* object;
  int32_t startTime;
};

struct SizeRecord {
  int32_t width;
  int32_t height;
};

// Thread-safe: the output thread reports while the test reads.
class EngineContext : public KMC::ComponentContext {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  static const int32_t kChooseByKind = -1000;  // default adapter policy, see setAdapterChoice

  explicit EngineContext(KMC::MediaClock* clock = nullptr) : clock_(clock) {}
  // Virtual, so that entry 0 destroys an engine's own context derived from this one whole.
  virtual ~EngineContext() = default;

  // --- ComponentContext -----------------------------------------------------------------------
  // By default the index of "com.kestra.videoadapter.HWND" in kinds, -1 when absent.
  int32_t chooseVideoAdapter(KMC::StringList* kinds) override;
  int32_t setVideoAdapter(KMC::VideoAdapterUnknown* adapter) override;
  int32_t videoSizeChanged(int32_t width, int32_t height) override;
  int32_t windowSizeChanged(int32_t width, int32_t height) override;
  int32_t channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) override;
  // Answers the stored value of path/name: true with its payload, or false when none is stored.
  bool getSetting(KMC::Setting& setting, KMC::PropertyValue* out) override;
  KMC::MediaClock* getClock() override { return clock_; }

  // --- set by the engine (tests, player) ------------------------------------------------------
  void setClock(KMC::MediaClock* clock) { clock_ = clock; }
  // Stores an answer for path/name; an integer value of type code 5.
  void setSetting(const std::string& path, const std::string& name, int32_t value);
  void removeSetting(const std::string& path, const std::string& name);
  // The index answered to chooseVideoAdapter; kChooseByKind restores the default policy.
  void setAdapterChoice(int32_t index) { adapterChoice_ = index; }
  // Called by every channelEvent after it is recorded, on the reporting thread and without the
  // context's lock, so that it can call back into the component as an engine may. Set it
  // before the component reports anything.
  typedef std::function<void(int32_t channelId, int32_t code, KMC::VideoSample* object)> EventHook;
  void setEventHook(EventHook hook) { eventHook_ = std::move(hook); }
  // Called at the start of every call the component makes into this context (its operation's
  // name: "channelEvent", "videoSizeChanged", ...), on the calling thread and without the
  // context's lock, so that a test can see which of the component's locks the caller holds.
  // Set it before the component is created.
  typedef std::function<void(const char* operation)> CallHook;
  void setCallHook(CallHook hook) { callHook_ = std::move(hook); }

  // --- records --------------------------------------------------------------------------------
  std::vector<ChannelEventRecord> channelEvents() const;
  // Only the events of one code (and channel, unless channelId is -1).
  std::vector<ChannelEventRecord> channelEvents(int32_t code, int32_t channelId = -1) const;
  std::vector<SizeRecord> videoSizes() const;
  std::vector<SizeRecord> windowSizes() const;
  // The adapter last given; null after the null call.
  KMC::VideoAdapterUnknown* videoAdapter() const;
  int32_t adapterChoices() const;
  int32_t settingQueries() const;
  void clearRecords();

 private:
  void called(const char* operation) const {
    if (callHook_) callHook_(operation);
  }

  mutable std::mutex lock_;
  KMC::MediaClock* clock_;
  std::map<std::string, int32_t> settings_;  // "path/name" -> value
  int32_t adapterChoice_ = kChooseByKind;
  EventHook eventHook_;
  CallHook callHook_;
  KMC::VideoAdapterUnknown* adapter_ = nullptr;
  std::vector<ChannelEventRecord> events_;
  std::vector<SizeRecord> videoSizes_;
  std::vector<SizeRecord> windowSizes_;
  int32_t adapterChoices_ = 0;
  int32_t settingQueries_ = 0;
};

}  // namespace host
