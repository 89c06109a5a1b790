// The smallest complete renderer: draws nothing, logs every contract call with the component
// locks the calling thread holds, and keeps frames the way a real renderer does (the accepted
// frame becomes currentFrame, the previous one is handed back to be released).
#pragma once

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "videooutput/video_output.h"

namespace testing_vo {

class RecordingRenderer final : public KMC::VideoOutput<RecordingRenderer> {
 public:
  typedef KMC::VideoOutput<RecordingRenderer> Base;

  struct Call {
    std::string name;
    int32_t channelId;            // -1 for calls without a channel
    bool render, selection, list; // component locks held by the caller
    bool queueLocked;             // the channel's queueMutex held by the caller
    bool outputThread;            // made on the thread that runs runOutputRound
    int32_t frameStart;           // start of the frame argument, or -1
  };

  explicit RecordingRenderer(KMC::PluginHost* host = nullptr) : Base(host) {
    properties()["Name"] = KMC::PropertyValue::ofInt32(1);
    properties()["Type"] = KMC::PropertyValue::ofInt32(2);
  }
  ~RecordingRenderer() { endOutputBeforeDestruction(); }

  // --- knobs ----------------------------------------------------------------------------------
  std::atomic<bool> keepRunning_{true};  // the loop's keep-running flag
  std::atomic<bool> runLoop{true};       // runOutputRound runs the loop (else it idles 1 ms)
  std::atomic<int> initFailures{0};      // initializeRenderer answers false this many times
  std::atomic<bool> failInitForever{false};
  std::atomic<int> reconfigureFailures{0};
  std::atomic<bool> refuseFrames{false}; // acceptFrame answers null
  std::atomic<bool> refuseFormatRegistration{false};  // registerFormats answers false
  std::atomic<bool> recordCalls{true};   // false: count only (stress, benchmarks)
  std::atomic<bool> probeQueueLocks{false};  // record whether the queueMutex is held (slow)
  const char* identity = "REC";
  // When set, counts the channels attached and not yet detached; it outlives the renderer, so
  // a test can check that deleting the component detached every channel.
  std::atomic<int>* attachedChannels = nullptr;

  // --- records --------------------------------------------------------------------------------
  std::vector<Call> calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
  }
  std::vector<Call> callsNamed(const std::string& name) const {
    std::vector<Call> out;
    for (const Call& call : calls()) {
      if (call.name == name) out.push_back(call);
    }
    return out;
  }
  int64_t count(const std::string& name) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = counts_.find(name);
    return found == counts_.end() ? 0 : found->second;
  }
  void clearCalls() {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.clear();
    counts_.clear();
  }
  int64_t outputRounds() const { return rounds_.load(); }
  // Whether the calling thread is the one that runs runOutputRound.
  bool isOutputThread() const { return std::this_thread::get_id() == outputThread_.load(); }

  // --- the contract -----------------------------------------------------------------------------
  const char* rendererIdentity() override {
    record("rendererIdentity");
    return identity;
  }
  bool registerFormats(int32_t) override {
    record("registerFormats");
    registerFormat(200, 0, "BGRA");
    registerFormat(200, 0, "BGRX");
    return !refuseFormatRegistration.load();
  }
  bool runOutputRound() override {
    outputThread_.store(std::this_thread::get_id());
    rounds_.fetch_add(1);
    if (!runLoop.load() || !keepRunning_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return true;
    }
    setRendererReady(true);
    presentationLoop(&keepRunning_);
    return true;
  }
  bool initializeRenderer() override {
    record("initializeRenderer");
    if (failInitForever.load()) return false;
    if (initFailures.load() > 0) {
      initFailures.fetch_sub(1);
      return false;
    }
    return true;
  }
  bool shutdownRenderer() override { record("shutdownRenderer"); return true; }
  bool reconfigure() override {
    record("reconfigure");
    // As a real renderer does once its drawing target changed: the engine hears the new size.
    if (context()) context()->windowSizeChanged(1, 1);
    if (reconfigureFailures.load() > 0) {
      reconfigureFailures.fetch_sub(1);
      return false;
    }
    return true;
  }
  bool reconfigureCommit() override { record("reconfigureCommit"); return true; }
  bool beginFrame() override { record("beginFrame"); return true; }
  bool endFrame() override { record("endFrame"); return true; }
  bool deactivate() override { record("deactivate"); return true; }
  void* surfaceObject() override { record("surfaceObject"); return this; }
  bool attachChannel(Channel* channel) override {
    record("attachChannel", channel);
    if (attachedChannels) attachedChannels->fetch_add(1);
    channel->rendererData = new int(channel->id);
    return true;
  }
  void detachChannel(Channel* channel) override {
    record("detachChannel", channel);
    if (attachedChannels) attachedChannels->fetch_sub(1);
    if (channel->currentFrame) channel->currentFrame->release();
    channel->currentFrame = nullptr;
    delete static_cast<int*>(channel->rendererData);
    channel->rendererData = nullptr;
  }
  KMC::VideoSample* acceptFrame(Channel* channel, KMC::VideoSample* frame) override {
    record("acceptFrame", channel, frame);
    return refuseFrames.load() ? nullptr : frame;
  }
  KMC::VideoSample* convertFrame(Channel* channel, KMC::VideoSample* frame) override {
    record("convertFrame", channel, frame);
    KMC::VideoSample* previous = channel->currentFrame;
    channel->currentFrame = frame;
    return previous;
  }
  bool drawChannel(Channel* channel) override {
    record("drawChannel", channel, channel->currentFrame);
    // Reads what a real renderer reads, so races on these fields show under ThreadSanitizer.
    volatile double sink = channel->outputRect.left + channel->displayFactors[0] + channel->width;
    (void)sink;
    return true;
  }
  KMC::VideoSample* takeCurrentFrame(Channel* channel) override {
    record("takeCurrentFrame", channel, channel->currentFrame);
    KMC::VideoSample* frame = channel->currentFrame;
    channel->currentFrame = nullptr;
    return frame;
  }
  void holdChannel(Channel* channel) override { record("holdChannel", channel); }
  void resumeChannel(Channel* channel) override { record("resumeChannel", channel); }
  bool geometryChanged(Channel* channel, const KMC::RectFloat* source) override {
    record("geometryChanged", channel);
    std::lock_guard<std::mutex> hold(lock_);
    lastGeometry_ = *source;
    return true;
  }

  KMC::RectFloat lastGeometry() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lastGeometry_;
  }

 private:
  void record(const char* name, Channel* channel = nullptr, const KMC::VideoSample* frame = nullptr) {
    Call call;
    call.name = name;
    call.channelId = channel ? channel->id : -1;
    KMC::PolicyLockManager& locks = lockManager();
    call.render = locks.holds(renderLockId());
    call.selection = locks.holds(selectionLockId());
    call.list = locks.holds(channelListLockId());
    call.queueLocked = channel && probeQueueLocks.load() && callerHoldsQueue(channel);
    call.outputThread = std::this_thread::get_id() == outputThread_.load();
    call.frameStart = frame ? frame->startTime : -1;
    std::lock_guard<std::mutex> hold(lock_);
    ++counts_[name];
    if (recordCalls.load()) calls_.push_back(call);
  }

 public:
  // Whether the calling thread holds channel's queueMutex. A caller that holds it keeps it for
  // the whole of this call, so a probe thread finding it free, or this thread failing to take
  // it again, each proves it is not the caller's. Another thread taking and letting it go in
  // between can make one round look like the caller's, so only rounds that all do count.
  static bool callerHoldsQueue(Channel* channel) {
    boost::recursive_mutex& mutex = channel->queueMutex();
    for (int round = 0; round < 16; ++round) {
      bool freeForOthers = false;
      std::thread probe([&] {
        if (mutex.try_lock()) {
          freeForOthers = true;
          mutex.unlock();
        }
      });
      probe.join();
      if (freeForOthers) return false;
      if (!mutex.try_lock()) return false;
      mutex.unlock();
    }
    return true;
  }

 private:

  mutable std::mutex lock_;
  std::vector<Call> calls_;
  std::map<std::string, int64_t> counts_;
  std::atomic<std::thread::id> outputThread_{};
  std::atomic<int64_t> rounds_{0};
  KMC::RectFloat lastGeometry_;
};

}  // namespace testing_vo
