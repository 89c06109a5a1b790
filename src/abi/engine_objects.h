// The engine objects this library calls. See abi/abi.h: the entry numbers are the ABI, entry 0
// is EngineTable's deleting destructor (never called by the plug-in), nothing here has a
// virtual destructor.
//
// Every object here is implemented by the engine; the library only calls the listed entries.
// reservedN stand for entries the library never calls.
//
// Threads and locks. Besides the engine's own threads (which make every call into the
// component and its ports), a running output has an output thread, which selects and draws
// frames, and one pull thread per pull channel. Each operation below says which of them calls
// it, which of the output's locks are held then, and what the engine must not do from inside.
// The output's locks, in the only order they are ever taken: renderLock, selectionLock,
// channelListLock (the component's ordered lock manager), then one channel's queue lock; no
// thread waits for one of the first three while it holds a queue lock, and the pull threads
// take none of them. Two rules hold everywhere: an operation called with a queue lock held must
// not call back into the output or its ports (the callback would take a component lock after a
// queue lock), and no operation called from the output or a pull thread may block for long,
// since frames wait for it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/abi.h"
#include "abi/geometry_records.h"
#include "abi/list.h"
#include "abi/property_value.h"

namespace KMC {

class Plugin;
class Setting;
class VideoAdapterUnknown;
class TimeMultiplierInterface;

// Given to _getPlugin; told just before and just after a component deletes itself.
class PluginHost : public EngineTable {
 public:
  /* 1 */ virtual int32_t reserved1() { return 0; }
  /* 2 */ virtual int32_t reserved2() { return 0; }
  /* 3 */ virtual int32_t reserved3() { return 0; }
  /* 4 */ virtual int32_t reserved4() { return 0; }
  /* 5 */ virtual int32_t reserved5() { return 0; }
  /* 6 */ virtual int32_t reserved6() { return 0; }
  /* 7 */ virtual int32_t reserved7() { return 0; }
  /* 8 */ virtual int32_t pluginDeleting(Plugin* plugin) = 0;
  /* 9 */ virtual int32_t pluginDeleted(Plugin* plugin) = 0;

 protected:
  ~PluginHost() = default;
};
// Both are called on the engine thread that made the last releaseReference, after the output
// thread and every pull thread have ended, with no lock held; both answers are ignored.
//  8 pluginDeleting: the component is about to delete itself. The engine must not call the
//    component from inside.
//  9 pluginDeleted: the component has deleted itself; the pointer only identifies it.

// The record the engine attaches to a component before create; only its name is read.
struct PluginDescriptor {
  NarrowString name;
};

class MediaClock : public EngineTable {
 public:
  /* 1 */ virtual int32_t reserved1() { return 0; }
  /* 2 */ virtual int32_t reserved2() { return 0; }
  /* 3 */ virtual int32_t currentTime() = 0;  // media time in milliseconds
  /* 4 */ virtual int32_t reserved4() { return 0; }
  /* 5 */ virtual bool isRunning() = 0;       // whether media time advances
  /* 6 */ virtual int32_t reserved6() { return 0; }
  /* 7 */ virtual int32_t rate() = 0;         // thousandths of normal speed; never 0; < 0 backwards

 protected:
  ~MediaClock() = default;
};
// Read on the output thread: by the frame schedule with renderLock, selectionLock and the
// channel's queue lock held, and by the wait for the next due frame with channelListLock held.
// Each entry must answer at once, without locks the engine might hold while it calls the
// output, and must not call the output.

// A decoded frame. Besides its entries, the library reads the fields below in place, at the
// byte positions of record_layout.h: those of the 32-bit product, and on 64-bit the positions
// the Windows compilers give the same fields (table pointer 8 bytes, doubles and the rectangles'
// table pointers 8-byte aligned).
class VideoSample : public EngineTable {
 public:
  /* 1 */ virtual int32_t reserved1() { return 0; }
  /* 2 */ virtual int32_t release() = 0;
  /* 3 */ virtual uint32_t* data() = 0;      // the first 32-bit pixel
  /* 4 */ virtual int32_t dataDone() = 0;    // right after data(); the answer is not used

  int32_t usable;            // non-zero for a usable pulled frame
  uint8_t reserved8[36];
  int32_t startTime;         // media milliseconds; 0 = untimed
  uint32_t duration;         // milliseconds
  uint8_t reserved52[16];
  int32_t width;
  int32_t height;
  uint8_t reserved76[12];
  RectFloatRecord crop;      // part of the frame to show, fractions
  RectIntRecord picture;     // valid picture area, pixels
  int32_t stride;            // row distance in 32-bit pixels
  uint8_t bottomUp;          // 1 = rows stored bottom-up

 protected:
  VideoSample()
      : usable(0), reserved8{}, startTime(0), duration(0), reserved52{}, width(0), height(0),
        reserved76{}, crop{nullptr, 0, 0, 0, 0}, picture{nullptr, 0, 0, 0, 0}, stride(0), bottomUp(0) {}
  ~VideoSample() = default;
};
//  2 release: drops the reference the library was given; called exactly once per frame, by
//    whichever thread lets the frame go: an engine thread (flush, seek, reset, removePort,
//    destroy), the output thread (late drops, expiry, a replaced frame; renderLock and
//    selectionLock held) or a pull thread (a frame overtaken by a flush or seek). Often called
//    with the channel's queue lock held: it must not call the output or its ports, and must not
//    block.
//  3 data, 4 dataDone: output thread, renderLock and selectionLock held, while the renderer
//    takes the frame in; neither may call the output.

// The payload of a port's connect command: frames are pulled from it.
class UpstreamSource : public EngineTable {
 public:
  /* 1 */ virtual int32_t reserved1() { return 0; }
  /* 2 */ virtual int32_t reserved2() { return 0; }
  /* 3 */ virtual bool pull(int32_t code, PropertyValue* out) = 0;

 protected:
  ~UpstreamSource() = default;
};
//  3 pull: with kPullCode and a zeroed value: true with the next VideoSample pointer (which may
//    be null) in the payload. Called on the channel's pull thread with no lock of the output
//    held, so it may take its time and may call the channel's port (disconnect it, say);
//    removePort and destroy answer false there, since they would join the calling thread. A
//    frame answered after a flush, seek, connect or disconnect meanwhile is released, not shown.
//    A source disconnected from inside a notification or a pull must stay alive until
//    removePort or destroy has returned; one disconnected from an engine thread holding no lock
//    of the output may go once disconnect returns (no pull of it is still running then).

// The engine's peer object of one stream (third argument of createPort).
class StreamObject : public EngineTable {
 public:
  /* 1 */ virtual int32_t channelId() = 0;
  /* 2 */ virtual int32_t setTimeMultiplier(TimeMultiplierInterface* multiplier) = 0;

 protected:
  ~StreamObject() = default;
};
// Both are called inside createPort, on its engine thread, with selectionLock and
// channelListLock held: neither may call the output.
//  1 channelId: the channel id of this stream.
//  2 setTimeMultiplier: receives the output's time multiplier interface; the answer is ignored.

// The engine's side of one component, given to create and queryFormats.
class ComponentContext : public EngineTable {
 public:
  /*  1 */ virtual int32_t chooseVideoAdapter(StringList* kinds) = 0;
  /*  2 */ virtual int32_t setVideoAdapter(VideoAdapterUnknown* adapter) = 0;
  /*  3 */ virtual int32_t videoSizeChanged(int32_t width, int32_t height) = 0;
  /*  4 */ virtual int32_t windowSizeChanged(int32_t width, int32_t height) = 0;
  /*  5 */ virtual int32_t channelEvent(int32_t channelId, int32_t code, VideoSample* object) = 0;
  /*  6 */ virtual int32_t reserved6() { return 0; }
  /*  7 */ virtual int32_t reserved7() { return 0; }
  /*  8 */ virtual int32_t reserved8() { return 0; }
  /*  9 */ virtual bool getSetting(Setting& setting, PropertyValue* out) = 0;
  /* 10 */ virtual MediaClock* getClock() = 0;

 protected:
  ~ComponentContext() = default;
};
//  1 chooseVideoAdapter: the 0-based index of the chosen adapter kind in kinds; anything else
//    means none yet. Output thread, before it presents, with no lock of the output held or
//    renderLock only; asked again every few milliseconds until a kind is chosen, so it must
//    answer at once.
//  2 setVideoAdapter: the renderer's new adapter, or null: the engine stops using the adapter
//    after null. A new adapter: output thread, right after chooseVideoAdapter, with no lock of
//    the output held or renderLock only. Null: the thread that deletes the component, no lock
//    held. The engine may set the adapter's window and rectangles from inside; it must not call
//    the output.
//  3 videoSizeChanged: size of the last presented frame of a pull channel. Output thread, under
//    the same rules as channelEvent.
//  4 windowSizeChanged: the drawing area's inclusive size after a reconfiguration. Output
//    thread, renderLock held, no channelListLock and no queue lock; every channel is held for
//    the reconfiguration (no frame is presented or pulled) until the call returns. From inside,
//    the engine may call the output and its ports as from channelEvent.
//  5 channelEvent: kEventPresented, kEventRendererObject or kEventDroppedLate
//    (abi/engine_codes.h) with the frame or object. The object stays the library's; it is
//    released right after the call for kEventRendererObject and kEventDroppedLate. Output
//    thread, once the frames of a pass are selected and before the picture is composed, with
//    renderLock and selectionLock held, no channelListLock and no queue lock. From inside, the
//    engine may call the output and its ports (flush, seek, reset, disconnect, selection,
//    createPort, commands); removePort and destroy answer false there, since they would have the
//    output thread wait for itself. It must not block.
//  9 getSetting: the value of a setting; true and a non-zero first payload word mean "on".
//    Engine thread, inside create or queryFormats, no lock held.
// 10 getClock: the media clock, or null. Engine thread, inside create, no lock held.

}  // namespace KMC
