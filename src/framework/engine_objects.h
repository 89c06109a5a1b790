// The engine objects this library calls. See framework/abi.h: positions are the ABI.
//
// Every object here is implemented by the engine; the library only calls the listed
// positions. Placeholders stand for positions the library never calls.
#pragma once

#include <cstdint>

#include "framework/abi.h"
#include "framework/geometry.h"
#include "framework/list.h"
#include "framework/property_value.h"

namespace KMC {

class Plugin;
class Setting;
class VideoAdapterUnknown;
class TimeMultiplierInterface;

// Given to _getPlugin; told just before and just after a component deletes itself.
class PluginHost {
 public:
  virtual ~PluginHost() {}                      // 0
  virtual int32_t reserved1() { return 0; }     // 1
  virtual int32_t reserved2() { return 0; }     // 2
  virtual int32_t reserved3() { return 0; }     // 3
  virtual int32_t reserved4() { return 0; }     // 4
  virtual int32_t reserved5() { return 0; }     // 5
  virtual int32_t reserved6() { return 0; }     // 6
  virtual int32_t reserved7() { return 0; }     // 7
  // 8: the component is about to delete itself. Answer ignored.
  virtual int32_t pluginDeleting(Plugin* plugin) = 0;
  // 9: the component has deleted itself; the pointer only identifies it. Answer ignored.
  virtual int32_t pluginDeleted(Plugin* plugin) = 0;
};

// The record the engine attaches to a component before create; only its name is read.
struct PluginDescriptor {
  NarrowString name;
};

class MediaClock {
 public:
  virtual ~MediaClock() {}                      // 0
  virtual int32_t reserved1() { return 0; }     // 1
  virtual int32_t reserved2() { return 0; }     // 2
  // 3: media time in milliseconds.
  virtual int32_t currentTime() = 0;
  virtual int32_t reserved4() { return 0; }     // 4
  // 5: whether media time advances.
  virtual bool isRunning() = 0;
  virtual int32_t reserved6() { return 0; }     // 6
  // 7: thousandths of normal speed; never 0; negative plays backwards.
  virtual int32_t rate() = 0;
};

// A decoded frame. Besides its operations, the library reads the fields below in place; on
// the 32-bit product their byte positions are fixed (asserted in videooutput/frame_layout.h).
class VideoSample {
 public:
  virtual ~VideoSample() {}                     // 0
  virtual int32_t reserved1() { return 0; }     // 1
  // 2: drops the reference the library was given; called exactly once per frame.
  virtual int32_t release() = 0;
  // 3: the first 32-bit pixel.
  virtual uint32_t* data() = 0;
  // 4: called right after data(); its answer is not used.
  virtual int32_t dataDone() = 0;

  int32_t usable;            // non-zero for a usable pulled frame
  uint8_t reserved8[36];
  int32_t startTime;         // media milliseconds; 0 = untimed
  uint32_t duration;         // milliseconds
  uint8_t reserved52[16];
  int32_t width;
  int32_t height;
  uint8_t reserved76[12];
  RectFloat crop;            // part of the frame to show, fractions
  RectInt picture;           // valid picture area, pixels
  int32_t stride;            // row distance in 32-bit pixels
  uint8_t bottomUp;          // 1 = rows stored bottom-up

 protected:
  VideoSample()
      : usable(0), reserved8{}, startTime(0), duration(0), reserved52{}, width(0), height(0),
        reserved76{}, stride(0), bottomUp(0) {}
};

// The payload of a port's connect command: frames are pulled from it.
class UpstreamSource {
 public:
  virtual ~UpstreamSource() {}                  // 0
  virtual int32_t reserved1() { return 0; }     // 1
  virtual int32_t reserved2() { return 0; }     // 2
  // 3: with code 0x200c000a and a zeroed value: true with the next VideoSample pointer (which
  // may be null) in the payload.
  virtual bool pull(int32_t code, PropertyValue* out) = 0;
};

// The engine's peer object of one stream (third argument of createPort).
class StreamObject {
 public:
  virtual ~StreamObject() {}                    // 0
  // 1: the channel id of this stream.
  virtual int32_t channelId() = 0;
  // 2: receives the output's time multiplier interface. Answer ignored.
  virtual int32_t setTimeMultiplier(TimeMultiplierInterface* multiplier) = 0;
};

// The engine's side of one component, given to create and queryFormats.
class ComponentContext {
 public:
  virtual ~ComponentContext() {}                // 0
  // 1: 0-based index of the chosen adapter kind in kinds; anything else means none yet.
  virtual int32_t chooseVideoAdapter(StringList* kinds) = 0;
  // 2: the renderer's new adapter, or null: the engine stops using the adapter after null.
  virtual int32_t setVideoAdapter(VideoAdapterUnknown* adapter) = 0;
  // 3: size of the last presented frame of a pull channel.
  virtual int32_t videoSizeChanged(int32_t width, int32_t height) = 0;
  // 4: the drawing area's inclusive size after a reconfiguration.
  virtual int32_t windowSizeChanged(int32_t width, int32_t height) = 0;
  // 5: code 2 frame presented, 3 renderer object, 4 frame dropped late. The object stays the
  // library's; it is released after the call for codes 3 and 4.
  virtual int32_t channelEvent(int32_t channelId, int32_t code, VideoSample* object) = 0;
  virtual int32_t reserved6() { return 0; }     // 6
  virtual int32_t reserved7() { return 0; }     // 7
  virtual int32_t reserved8() { return 0; }     // 8
  // 9: the value of a setting; true and a non-zero first payload word mean "on".
  virtual bool getSetting(Setting& setting, PropertyValue* out) = 0;
  // 10: the media clock, or null.
  virtual MediaClock* getClock() = 0;
};

}  // namespace KMC
