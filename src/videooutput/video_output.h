// VideoOutput<T>: the generic half of a video output component.
//
// It owns everything that does not depend on how pixels reach the screen: the component's life
// (create, the output thread, destroy), the engine-facing interfaces, the ports and their
// presentation channels, the frame schedule against the engine's media clock and the
// presentation loop. A renderer T derives from VideoOutput<T> and fills in the 20 renderer
// operations below; they are the renderer contract.
//
// Table layout (the ABI, see abi/abi.h): Plugin (through PluginBase) is the primary base and
// owns the primary table: 0 the deleting destructor, 1-5 Plugin, 6 queryInterface, then the
// renderer operations in the order declared below (7 rendererIdentity ... 26 geometryChanged).
// They are declared before every other virtual this class adds so that nothing can come
// between. The OutputComponent part (its table of offsets reaching the ComponentInterface and
// OutputInterface parts, as the engine's compiler reads it), TimeMultiplierInterface,
// ComponentInterface and OutputInterface follow as further bases, so one object answers for all
// of them; entry 0 of every one of their tables destroys the whole component.
//
// Threads:
//  - engine threads call ComponentInterface, OutputInterface and the ports;
//  - one output thread per running output calls runOutputRound over and over; the renderer
//    runs presentationLoop from it;
//  - every pull channel has a thread that prefetches frames from its upstream source.
// Locks: their order and rules are written once, in abi/engine_objects.h ("Threads and locks").
// The three component locks are PolicyLockManager locks created in that order, so their ids
// ascend with it, and the code asks for them in that order; the manager's reordering is only a
// backstop (LockContractTest.PortTrafficNeverMakesTheLockManagerReorder shows it is not
// needed). Channels and ports reach the output only through ChannelOwner.
//
// The engine-facing contract (for each operation the engine calls or is called with: the
// thread, the locks held, what may be done from inside, and the answer) is written once, beside
// the declarations: abi/interfaces.h, abi/engine_objects.h and abi/video_adapter.h; the
// renderer's below. The code here keeps them; LockContractTest checks the locks of every call
// into the engine and the renderer.
//
// Taking channels down: a channel leaves the lists under all the component locks it is in, is
// detached from the renderer under channelListLock, and is deleted (its pull thread joined)
// with no component lock held, since its source may still call back in until the pull
// returns. Whoever takes a channel out of a list deletes it; anyone else finds it gone.
//
// Flags that one thread writes and another polls are std::atomic<bool>.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <boost/thread/recursive_mutex.hpp>
#include <boost/thread/thread.hpp>

#include "formatcache/format_cache.h"
#include "abi/engine_objects.h"
#include "framework/geometry.h"
#include "abi/interfaces.h"
#include "framework/plugin_base.h"
#include "framework/property_map.h"
#include "threading/lock_guard.h"
#include "threading/policy_lock_manager.h"

namespace KMC {

template <typename T>
class VideoOutput : public PluginBase,
                    public OutputComponent,
                    public TimeMultiplierInterface,
                    public ComponentInterface,
                    public OutputInterface {
 public:
  class Channel;
  class Port;
  class ChannelOwner;  // what a channel and its port may use of the output
  typedef std::list<Channel*> ChannelList;

  explicit VideoOutput(PluginHost* host);
  // The channels must be gone (destroy); leftovers of ports the engine never removed are
  // deleted here, with their frames released.
  ~VideoOutput();

  // Entry 0 of every table of the component: destroys the whole renderer T (and frees it when
  // flags has kFreeStorage). Reached through releaseReference; the engine never deletes.
  void* deletingDestructor(uint32_t flags) override {
    return runDeletingDestructor(static_cast<T*>(this), flags);
  }

  // Entry 6: 0 with *out = the ComponentInterface, OutputInterface or OutputComponent
  // sub-object for the three identifiers, else 3 with *out null. No reference is added.
  ResultCode queryInterface(const NarrowString& id, void** out) override;

  // --- Renderer contract (entries 7 to 26) ---------------------------------------------------
  // "Output thread" is the thread that runs presentationLoop. Locks named are component locks
  // held by the calling thread; "queue locked" means the channel's queueMutex is held.

  // 7: short name appended to the hardware name when the format cache is on. Engine thread
  // (create, format query), no lock. The text stays the renderer's.
  virtual const char* rendererIdentity() = 0;
  // 8: registers the accepted formats through registerFormat. Engine thread, no lock; the
  // argument says who asks (kFormatsAskedByCreate, kFormatsAskedByQuery). True: asked never
  // again for this output.
  static constexpr int32_t kFormatsAskedByCreate = 0;
  static constexpr int32_t kFormatsAskedByQuery = 1;
  virtual bool registerFormats(int32_t askedBy) = 0;
  // 9: one round of output work; called over and over by the output thread until destroy. Must
  // return after bounded work (it normally runs presentationLoop and returns when that ends).
  virtual bool runOutputRound() = 0;
  // 10: prepares drawing. Output thread, under renderLock, until it has answered true once.
  // False makes a waiting create give up.
  virtual bool initializeRenderer() = 0;
  // 11: lets the drawing target go when the presentation loop ends. Output thread, renderLock.
  virtual bool shutdownRenderer() = 0;
  // 12, 13: rebuild for a new drawing target, then commit. Output thread, under renderLock,
  // every channel held. False: both are asked again on the next pass (channels stay held).
  virtual bool reconfigure() = 0;
  virtual bool reconfigureCommit() = 0;
  // 14, 15: start and finish one composed picture. Output thread, renderLock and selectionLock.
  virtual bool beginFrame() = 0;
  virtual bool endFrame() = 0;
  // 16: the output stopped being active. Output thread, renderLock. Default: nothing, true.
  virtual bool deactivate();
  // 17: an object handed to the engine as is for port value 0x201E000E (may be null). Engine
  // thread, no lock.
  virtual void* surfaceObject() = 0;
  // 18: a new channel; the renderer may hang its data on channel->rendererData. Engine thread
  // (createPort), under channelListLock and selectionLock. True for a pull channel wakes its
  // pull thread.
  virtual bool attachChannel(Channel* channel) = 0;
  // 19: the channel goes away: the renderer releases channel->currentFrame (and sets it null)
  // and frees its data. Under channelListLock, queue locked; on the output thread, or on an
  // engine thread when no presentation loop runs (removePort, destroy, the component's
  // deletion, before any part of the renderer is destroyed). Called exactly once for every
  // attached channel; a held channel is resumed first.
  virtual void detachChannel(Channel* channel) = 0;
  // 20: a due frame. Output thread, renderLock and selectionLock, queue locked. Non-null: the
  // frame left the queue and is the renderer's now; the answer is the presented frame. Null:
  // nothing presented, the frame stays queued and is offered again on the next pass.
  virtual VideoSample* acceptFrame(Channel* channel, VideoSample* frame) = 0;
  // 21: right after a non-null acceptFrame with its answer, same locks. A non-null answer is
  // reported to the engine (channelEvent kEventRendererObject) and then released by the output.
  virtual VideoSample* convertFrame(Channel* channel, VideoSample* frame) = 0;
  // 22: draws a channel that has presented a frame, between 14 and 15. Output thread,
  // renderLock and selectionLock, queue locked.
  virtual bool drawChannel(Channel* channel) = 0;
  // 23: gives up channel->currentFrame (sets it null) and answers it, or null; the caller
  // releases it. Under renderLock and queue locked: on the output thread (expiry) or on an
  // engine thread (port reset).
  virtual VideoSample* takeCurrentFrame(Channel* channel) = 0;
  // 24, 25: a reconfiguration starts / ends. Output thread, renderLock and channelListLock,
  // queue locked. Between the two no frame of the channel is presented or pulled.
  virtual void holdChannel(Channel* channel) = 0;
  virtual void resumeChannel(Channel* channel) = 0;
  // 26: the effective source rectangle of the channel changed. Output thread, renderLock,
  // queue locked. The answer is passed back to the caller of applyGeometry.
  virtual bool geometryChanged(Channel* channel, const RectFloat* source) = 0;

  // --- ComponentInterface ----------------------------------------------------------------------
  bool create(ComponentContext* context) override;
  bool destroy() override;
  bool sendCommand(int32_t code, int32_t argument) override;
  bool notify(int32_t, int32_t) override { return true; }  // no effect
  bool getParameter(int32_t id, PropertyValue* out) override;
  bool setParameter(int32_t id, PropertyValue* value) override;
  bool queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                    FormatList* out) override;
  bool listProperties(EngineVector<const char*>* out) override;
  bool getProperty(const char* name, PropertyValue* out) override;

  // --- OutputInterface -------------------------------------------------------------------------
  PortInterface* createPort(int32_t channelKind, StreamDescriptor* descriptor, StreamObject* stream) override;
  bool removePort(PortInterface* port) override;

  // --- TimeMultiplierInterface -----------------------------------------------------------------
  int32_t timeMultiplier(int32_t) override { return 1; }
  void timeMultiplierReset() override {}
  int32_t timeMultiplierBias() override { return -100; }

  // --- For renderers -----------------------------------------------------------------------------
  // The presentation loop; run it from runOutputRound. Returns when *keepRunning turns false
  // or destroy stops the output (and, when maxPasses >= 0, after that many passes; for
  // benchmarks). Answers true.
  bool presentationLoop(std::atomic<bool>* keepRunning, int64_t maxPasses = -1);
  // Asks the presentation loop to hold the channels and call reconfigure and
  // reconfigureCommit on its next pass. Takes renderLock; any thread.
  void requestReconfiguration();
  // Whether the drawing target exists; while false the loop idles. Any thread.
  void setRendererReady(bool ready) { rendererReady_.store(ready); }
  bool rendererReady() const { return rendererReady_.load(); }
  bool reconfigurationRequested() const { return reconfigureRequested_.load(); }
  ComponentContext* context() const { return context_; }
  MediaClock* clock() const { return clock_; }
  PropertyMap& properties() { return properties_; }

  // --- Introspection (tests, benchmarks) --------------------------------------------------------
  PolicyLockManager& lockManager() { return lockManager_; }
  LockId renderLockId() const { return renderLock_; }
  LockId selectionLockId() const { return selectionLock_; }
  LockId channelListLockId() const { return channelListLock_; }
  // Passes started by presentation loops so far (a pass is one round of the loop).
  int64_t presentationPasses() const { return passes_.load(); }
  // Whether a presentation loop is running.
  bool loopRunning() const { return loopRunning_.load(); }
  bool isInitialized() const { return initialized_.load(); }
  bool initializationFailed() const { return initFailed_.load(); }
  bool isActive() const { return active_.load(); }
  bool hasOutputThread() const;
  const std::string& hardwareName() const { return formatCache_.hardwareName(); }
  bool formatCacheEnabled() const { return formatCache_.enabled(); }
  const FormatTable& formatTable() const { return formatCache_.table(); }
  bool formatsPending() const { return formatsPending_; }
  // Live channels (not yet retired), and retired ones waiting for removePort. Takes
  // channelListLock.
  size_t channelCount();
  size_t retiredChannelCount();

 protected:
  // For registerFormats: enters a format in the format table (and the cache when it is on).
  void registerFormat(int32_t cost, int64_t typeId, const char* fourCC) {
    formatCache_.registerFormat(cost, typeId, fourCC);
  }
  FormatCache& formatCache() { return formatCache_; }
  // Recomputes the cache switch from the engine's setting and the hardware name from the
  // descriptor's name (plus the renderer's identity while the cache is on), as create and
  // every format query do.
  void readFormatCacheSetting(ComponentContext* context);
  // The renderer's destructor calls this first: it stops and joins the output thread (which
  // shuts the renderer down) and detaches and deletes every channel and port, while the
  // renderer is still whole. The component may so be deleted by its last release at any time,
  // destroyed or not. Not on the output thread.
  void endOutputBeforeDestruction();

 private:
  // Locals of one presentation loop run.
  struct LoopState;
  // What the engine is to hear about a pass, collected while it runs and raised after it.
  struct Notice {
    enum Kind { kDroppedLate, kPresented, kConverted, kVideoSize } kind;
    Channel* channel;
    VideoSample* frame;  // dropped or converted: the output's, released after the event
    int32_t width, height;
  };

  // The table of offsets of the OutputComponent part (abi/interfaces.h): the same for every
  // object of the class.
  const int32_t* virtualBaseOffsetTable();
  // Output thread body: runOutputRound until the stop flag.
  void outputThreadMain();
  // Sets the stop flag and joins the output thread, if there is one. Not on that thread.
  void joinOutputThread();
  // Starts the output thread unless one runs (then false); destroysBefore is the count of
  // destroys the thread starts after.
  bool startOutputThread(uint64_t& destroysBefore);
  // Whether channels taken down are detached from the renderer (it must still be whole), or
  // deleted without a renderer call (its part of the object is gone already).
  enum class Detach { kFromRenderer, kWithoutRenderer };
  // Whether the retired channels, whose ports the engine has not removed yet, go too.
  enum class Retired { kTakenDown, kLeftForRemovePort };
  // Takes every live channel (and the retired ones, as asked) out of the output and deletes
  // them with their ports. Takes selectionLock and channelListLock; no component lock may be
  // held.
  void takeDownChannels(Detach detach, Retired retired);
  // Sleeps with all three component locks released for the sleep; afterwards each lock is in
  // the state the caller had it in.
  void idle(uint32_t milliseconds);
  // Output thread, inside the loop's None guards: lets go of a lock that a finished step took
  // and the None guard kept.
  void releaseKept(LockId lock);
  // One pass of the presentation loop; answers whether it composed a picture.
  bool presentationPass(LoopState& state);
  // Output thread: runs work with renderLock and channelListLock, then lets channelListLock go
  // (the loop's None guard would keep it).
  template <typename Work>
  void underChannelList(Work work);
  // Output thread, component locks in mode None or better:
  void channelUpkeep();
  void holdChannels();
  void resumeChannels();
  // Sleeps until about half-way to the earliest due frame; answers whether it slept.
  bool dueTimeWait();
  // Selects the due frames and composes the picture when needed; answers whether it did.
  bool composeIfDue(LoopState& state);
  void finishLoop();
  // Output thread, renderLock and selectionLock held: raises the collected notices.
  void raiseNotices();
  // Whether the calling thread is this output's thread, or a pull thread of one of its
  // channels: calls that would join or delete that thread answer false there.
  bool onOutputThread() const { return outputOfThread() == this; }
  bool onOwnPullThread() const;
  static const VideoOutput*& outputOfThread() {
    static thread_local const VideoOutput* output = nullptr;
    return output;
  }
  // With channelListLock: releases the queued frames and detaches the channel from the
  // renderer (once; a held channel is resumed first).
  void detachFromRenderer(Channel* channel);
  // With channelListLock: retires a closing channel (detached, appended to retiredChannels).
  void retireChannel(Channel* channel);
  // With channelListLock: the channel of port in list, or null.
  static Channel* findByPort(ChannelList& list, PortInterface* port);
  // With selectionLock and channelListLock: takes every channel of list out of the output,
  // detached as asked, and moves it to doomed.
  void unlinkChannels(ChannelList& list, ChannelList& doomed, Detach detach);
  // No component lock held: stops the channel's pull thread, then deletes its port and the
  // channel with whatever frames it still has.
  static void deleteChannel(Channel* channel);

  // Members in the order the component lays them out.
  std::atomic<bool> stopFlag_;              // output thread leaves its loop
  PolicyLockManager lockManager_;
  ChannelList channels_;                    // guarded by channelListLock
  ChannelList retiredChannels_;             // guarded by channelListLock
  LockId channelListLock_;
  LockId selectionLock_;
  ChannelList selectedChannels_;            // guarded by selectionLock
  ComponentContext* context_;               // not owned; set by create
  boost::thread* outputThread_;             // owned; null when not running; outputThreadMutex_
  mutable std::mutex outputThreadMutex_;    // guards outputThread_, held through its join
  std::atomic<uint64_t> destroys_{0};       // destroy calls so far: a waiting create gives up
  LockId renderLock_;
  MediaClock* clock_;                       // not owned; may be null
  std::atomic<bool> initialized_;
  std::atomic<bool> active_;
  bool formatsPending_;                     // engine threads only
  std::atomic<bool> initFailed_;
  bool channelsHeld_;                       // output thread only
  std::atomic<bool> reconfigureRequested_;  // set under renderLock
  std::atomic<bool> rendererReady_;
  int32_t frameTolerance_;                  // output thread
  int32_t integerPropertyA_;                // answered by port values 0x200A0005, 0x200B0005
  int32_t integerPropertyB_;
  PropertyMap properties_;
  FormatCache formatCache_;                 // format table, hardware name, cache switch
  // Channels the output thread holds for a reconfiguration; guarded by channelListLock.
  std::vector<Channel*> heldChannels_;
  std::vector<Notice> notices_;             // output thread
  std::vector<Notice> raisingNotices_;      // output thread: the notices being raised
  std::atomic<bool> loopRunning_;
  bool passSlept_ = false;                  // output thread: this pass has slept
  std::atomic<int64_t> passes_;
};

}  // namespace KMC

// The template's parts. They cannot be included alone, hence their folder.
#include "videooutput/detail/channel_owner.h"
#include "videooutput/detail/channel.h"
#include "videooutput/detail/channel_frame_schedule.h"
#include "videooutput/detail/channel_pull_feeder.h"
#include "videooutput/detail/port.h"
#include "videooutput/detail/video_output_lifecycle.h"
#include "videooutput/detail/video_output_parameters.h"
#include "videooutput/detail/video_output_ports.h"
#include "videooutput/detail/presentation_loop.h"
#include "videooutput/detail/video_output_format_query.h"
