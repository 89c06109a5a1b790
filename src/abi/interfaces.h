// The interfaces a component hands out by identifier. See abi/abi.h: the entry numbers are the
// ABI, entry 0 is EngineTable's deleting destructor, nothing here has a virtual destructor.
// Every entry answers bool unless its line says otherwise; nothing throws except allocation
// failure.
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

class ComponentInterface : public EngineTable {
 public:
  /* 1 */ virtual bool create(ComponentContext* context) = 0;
  /* 2 */ virtual bool destroy() = 0;
  /* 3 */ virtual bool sendCommand(int32_t code, int32_t argument) = 0;
  /* 4 */ virtual bool notify(int32_t first, int32_t second) = 0;
  /* 5 */ virtual bool getParameter(int32_t id, PropertyValue* out) = 0;
  /* 6 */ virtual bool setParameter(int32_t id, PropertyValue* value) = 0;
  /* 7 */ virtual bool queryFormats(ComponentContext* context, int32_t kind, int32_t subkind,
                                    int32_t flag, FormatList* out) = 0;
  /* 8 */ virtual bool listProperties(EngineVector<const char*>* out) = 0;
  /* 9 */ virtual bool getProperty(const char* name, PropertyValue* out) = 0;

 protected:
  ~ComponentInterface() = default;
};
// Engine threads make every call; unknown commands answer true, unknown values and parameters
// false.
//  1 create: starts the output and keeps context until destroy. No lock of the output held;
//    true only once the engine gave the adapter a window (there is no time-out), false when the
//    renderer cannot initialise or when destroy was called meanwhile on another thread (the
//    engine gave up waiting for a window).
//  2 destroy: stops the output: true once the output thread has ended and every live channel is
//    gone with its port (ports already disconnected and retired wait for removePort). No lock
//    of the output held; it waits for the output thread and the pull threads to end. False,
//    changing nothing, on the output thread (inside channelEvent, say) or on a pull thread of
//    this output, where it would wait for itself.
//  3 sendCommand: kCommandActivate, kCommandDeactivate, kCommandReconfigure; any code: true.
//  4 notify: two integers, no effect; true.
//  5 getParameter: kParameterSelectedChannels appends the selected channel ids to the
//    ChannelIdList in the payload.
//  6 setParameter: kParameterSelectChannels selects the channels whose ids are in the
//    ChannelIdList in the payload.
//  7 queryFormats: appends the accepted formats to out; false when refused or unanswerable (or
//    when out cannot take them: the entries appended before stay). No lock of the output held;
//    may open the format cache file. Reads context (its format-cache setting) and never keeps
//    it: the output goes on reporting to the context of create.
//  8 listProperties: appends every property name (the pointers stay the component's).
//  9 getProperty: copies the 16-byte value; false when absent (out untouched).

class OutputInterface : public EngineTable {
 public:
  /* 1 */ virtual PortInterface* createPort(int32_t channelKind, StreamDescriptor* descriptor,
                                            StreamObject* stream) = 0;
  /* 2 */ virtual bool removePort(PortInterface* port) = 0;

 protected:
  ~OutputInterface() = default;
};
//  1 createPort: a new port for a stream of kind kStreamVideo or kStreamVideoAlternate
//    (descriptor bytes 12-15), or null. Any engine thread, also from inside channelEvent. The
//    descriptor and stream object must outlive the port.
//  2 removePort: true once the port and its channel are gone, every frame of it released; a port
//    still connected is disconnected first. Engine thread, no lock of the output held; it waits
//    for the channel's pull thread. False for a port this output does not know (or no longer
//    knows, because destroy or another removePort took it), and on the output thread or the
//    port's own pull thread.

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

// One input stream. Each entry takes a code (low 16 bits: payload kind, abi/engine_codes.h)
// and a value.
class PortInterface : public EngineTable {
 public:
  /* 1 */ virtual bool queryStatus(int32_t code, PropertyValue* value) = 0;
  /* 2 */ virtual bool portCommand(int32_t code, PropertyValue* value) = 0;
  /* 3 */ virtual bool getPortValue(int32_t code, PropertyValue* value) = 0;
  /* 4 */ virtual bool setPortValue(int32_t code, PropertyValue* value) = 0;

 protected:
  ~PortInterface() = default;
};
// Any engine thread may call any port at any time, also from inside channelEvent and from a
// pull; no entry blocks for long, none calls the engine, and a port stays usable until
// removePort or destroy has returned. Entry 0 belongs to the output: the engine never deletes a
// port.
//  1 queryStatus: kStatusReady (a pull channel with 2 or more queued frames; others always true)
//    and kStatusPosition (the last presented start time; false before the first presentation
//    or while unknown and no seek is pending). Other codes: true. Takes only the queue lock.
//  2 portCommand: seek, connect, disconnect, pause, run, flush, reset; every code answers true.
//    Connect, disconnect and reset wait for the output thread's pass to end (they take
//    renderLock); connect and disconnect from a thread that holds no lock of the output also
//    wait for a pull of the old source in flight. A frame the command drops is released before
//    it returns.
//  3 getPortValue: the output rectangle (written into the engine's RectFloat, edges only),
//    display factors (merged), surface and renderer objects, the two integer properties.
//    Unknown codes and null payloads: false. Takes only the queue lock.
//  4 setPortValue: a frame (it belongs to the channel from then on, released exactly once by the
//    output), the output rectangle, display factors. Unknown codes and null payloads: false.
//    Takes only the queue lock.

// Handed to each stream object by createPort.
class TimeMultiplierInterface : public EngineTable {
 public:
  /* 1 */ virtual int32_t timeMultiplier(int32_t value) = 0;  // always 1
  /* 2 */ virtual void timeMultiplierReset() = 0;             // no effect
  /* 3 */ virtual int32_t timeMultiplierBias() = 0;           // always -100

 protected:
  ~TimeMultiplierInterface() = default;
};
// Any thread, no lock taken, every entry answers at once. Entry 0 destroys the whole component:
// the engine never calls it.

}  // namespace KMC
