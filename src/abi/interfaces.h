// The interfaces a component hands out by identifier. See abi/abi.h: positions are the ABI,
// entry 0 is the deleting destructor, and nothing here has a virtual destructor. Operations
// answer bool unless stated; unknown commands answer true, unknown values and parameters false;
// nothing throws except allocation failure.
#pragma once

#include <cstdint>

#include "abi/abi.h"
#include "abi/engine_codes.h"
#include "abi/engine_containers.h"
#include "abi/engine_objects.h"
#include "abi/format_descriptor.h"
#include "abi/property_value.h"

namespace KMC {

class PortInterface;

class ComponentInterface {
 public:
  virtual void* deletingDestructor(uint32_t flags) = 0;                      // 0
  // 1: starts the output and keeps context until destroy. Engine thread, no lock of the output
  // held; answers true only once the engine gave the adapter a window (there is no time-out),
  // false when the renderer cannot initialise or when destroy was called meanwhile on another
  // thread (the engine gave up waiting for a window).
  virtual bool create(ComponentContext* context) { (void)context; return true; }
  // 2: stops the output: true once the output thread has ended and every live channel is gone
  // with its port (ports already disconnected and retired wait for removePort). Engine thread,
  // no lock of the output held; it waits for the output thread and the pull threads to end.
  // False, changing nothing, on the output thread (inside channelEvent, say) or on a pull
  // thread of this output, where it would wait for itself.
  virtual bool destroy() { return true; }
  // 3: 0x10010000 active, 0x10020000 inactive, 0x10030000 reconfigure; any code: true.
  virtual bool sendCommand(int32_t code, int32_t argument) { (void)code; (void)argument; return true; }
  // 4: two integers, no effect; true.
  virtual bool notify(int32_t first, int32_t second) { (void)first; (void)second; return true; }
  // 5: 0x1002000e: the selected channel ids appended to the ChannelIdList in the payload.
  virtual bool getParameter(int32_t id, PropertyValue* out) { (void)id; (void)out; return true; }
  // 6: 0x1001000e: select the channels whose ids are in the ChannelIdList in the payload.
  virtual bool setParameter(int32_t id, PropertyValue* value) { (void)id; (void)value; return true; }
  // 7: appends the accepted formats to out; false when refused or unanswerable (or when out
  // cannot take them: the entries appended before stay). Engine thread, no lock of the output
  // held; may open the format cache file. Reads context (its format-cache setting) and never
  // keeps it: the output goes on reporting to the context of create.
  virtual bool queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                            FormatList* out) {
    (void)context; (void)kind; (void)subkind; (void)flag; (void)out;
    return false;
  }
  // 8: appends every property name (pointers stay the component's).
  virtual bool listProperties(EngineVector<const char*>* out) = 0;
  // 9: copies the 16-byte value; false when absent (out untouched).
  virtual bool getProperty(const char* name, PropertyValue* out) = 0;

 protected:
  ~ComponentInterface() = default;
};

class OutputInterface {
 public:
  virtual void* deletingDestructor(uint32_t flags) = 0;                      // 0
  // 1: a new port for a stream of kind 1 or 4 (descriptor bytes 12-15), or null. Any engine
  // thread, also from inside channelEvent; the descriptor and stream object must outlive the
  // port.
  virtual PortInterface* createPort(int32_t channelKind, StreamDescriptor* descriptor,
                                    StreamObject* stream) = 0;
  // 2: true once the port and its channel are gone, every frame of it released; a port still
  // connected is disconnected first. Engine thread, no lock of the output held; it waits for
  // the channel's pull thread. False for a port this output does not know (or no longer knows,
  // because destroy or another removePort took it), and on the output thread or the port's own
  // pull thread.
  virtual bool removePort(PortInterface* port) = 0;

 protected:
  ~OutputInterface() = default;
};

// A component that is both of the above. The engine declares it with ComponentInterface and
// OutputInterface as virtual bases, and its compiler reaches them through a table of offsets
// that this part points to: entry 0 is the offset of this part from itself (0), entry 1 the
// offset of the ComponentInterface part and entry 2 that of the OutputInterface part, both
// counted from this part's address. The part has no table of operations of its own.
struct OutputComponent {
  const int32_t* virtualBaseOffsets;

  // The conversions as the engine's compiled code makes them.
  ComponentInterface* componentInterface() const { return at<ComponentInterface>(1); }
  OutputInterface* outputInterface() const { return at<OutputInterface>(2); }

 private:
  template <typename Base>
  Base* at(int entry) const {
    const char* self = reinterpret_cast<const char*>(this);
    return reinterpret_cast<Base*>(const_cast<char*>(self + virtualBaseOffsets[entry]));
  }
};

// One input stream. Each operation takes a code (low 16 bits: payload kind, abi/engine_codes.h)
// and a value. Any engine thread may call any port at any time, also from inside channelEvent
// and from a pull; none of them blocks for long, none calls the engine, and a port stays usable
// until removePort or destroy has returned. Entry 0 belongs to the output: the engine never
// deletes a port.
class PortInterface {
 public:
  virtual void* deletingDestructor(uint32_t flags) = 0;                      // 0
  // 1: kStatusReady (a pull channel with 2 or more queued frames; others always true) and
  // kStatusPosition (the last presented start time; false before the first presentation or
  // while unknown and no seek is pending). Other codes: true. Takes only the queue lock.
  virtual bool queryStatus(int32_t code, PropertyValue* value) = 0;
  // 2: seek, connect, disconnect, pause, run, flush, reset; every code answers true. Connect,
  // disconnect and reset wait for the output thread's pass to end (they take renderLock);
  // connect and disconnect from a thread that holds no lock of the output also wait for a pull
  // of the old source in flight. A frame the command drops is released before it returns.
  virtual bool portCommand(int32_t code, PropertyValue* value) = 0;
  // 3: the output rectangle (written into the engine's RectFloat, edges only), display factors
  // (merged), surface and renderer objects, the two integer properties. Unknown codes and null
  // payloads: false. Takes only the queue lock.
  virtual bool getPortValue(int32_t code, PropertyValue* value) = 0;
  // 4: a frame (it belongs to the channel from then on, released exactly once by the output),
  // the output rectangle, display factors. Unknown codes and null payloads: false. Takes only
  // the queue lock.
  virtual bool setPortValue(int32_t code, PropertyValue* value) = 0;

 protected:
  ~PortInterface() = default;
};

// Handed to each stream object by createPort. Any thread, no lock taken, answers at once.
// Entry 0 destroys the whole component: the engine never calls it.
class TimeMultiplierInterface {
 public:
  virtual void* deletingDestructor(uint32_t flags) = 0;                      // 0
  virtual int32_t timeMultiplier(int32_t value) = 0;                         // 1: always 1
  virtual void timeMultiplierReset() = 0;                                    // 2: no effect
  virtual int32_t timeMultiplierBias() = 0;                                  // 3: always -100

 protected:
  ~TimeMultiplierInterface() = default;
};

}  // namespace KMC
