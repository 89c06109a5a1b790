// The interfaces a component hands out by identifier. See framework/abi.h: positions are the
// ABI. Operations answer bool unless stated; unknown commands answer true, unknown values and
// parameters false; nothing throws except allocation failure.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/abi.h"
#include "framework/engine_codes.h"
#include "framework/engine_objects.h"
#include "framework/format_descriptor.h"
#include "framework/property_value.h"

namespace KMC {

class PortInterface;

class ComponentInterface {
 public:
  virtual ~ComponentInterface() {}                                         // 0
  // 1: starts the output; engine thread; answers only once the engine gave it a window.
  virtual bool create(ComponentContext* context) { (void)context; return true; }
  // 2: stops the output and its channels; always true.
  virtual bool destroy() { return true; }
  // 3: 0x10010000 active, 0x10020000 inactive, 0x10030000 reconfigure; any code: true.
  virtual bool sendCommand(int32_t code, int32_t argument) { (void)code; (void)argument; return true; }
  // 4: two integers, no effect; true.
  virtual bool notify(int32_t first, int32_t second) { (void)first; (void)second; return true; }
  // 5: 0x1002000e: the selected channel ids appended to the list in the payload.
  virtual bool getParameter(int32_t id, PropertyValue* out) { (void)id; (void)out; return true; }
  // 6: 0x1001000e: select the channels whose ids are in the list in the payload.
  virtual bool setParameter(int32_t id, PropertyValue* value) { (void)id; (void)value; return true; }
  // 7: appends the accepted formats to out; false when refused or unanswerable.
  virtual bool queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                            FormatList* out) {
    (void)context; (void)kind; (void)subkind; (void)flag; (void)out;
    return false;
  }
  // 8: appends every property name (pointers stay the component's).
  virtual bool listProperties(std::vector<const char*>* out) = 0;
  // 9: copies the 16-byte value; false when absent (out untouched).
  virtual bool getProperty(const char* name, PropertyValue* out) = 0;
};

class OutputInterface {
 public:
  virtual ~OutputInterface() {}                                            // 0
  // 1: a new port for a stream of kind 1 or 4 (descriptor bytes 12-15), or null.
  virtual PortInterface* createPort(int32_t channelKind, StreamDescriptor* descriptor,
                                    StreamObject* stream) = 0;
  // 2: removes a disconnected port; false for a port this output does not know.
  virtual bool removePort(PortInterface* port) = 0;
};

// A component that is both of the above.
class OutputComponent : public virtual ComponentInterface, public virtual OutputInterface {};

// One input stream. Each operation takes a code (low 16 bits: payload kind) and a value.
class PortInterface {
 public:
  virtual ~PortInterface() {}                                              // 0
  virtual bool queryStatus(int32_t code, PropertyValue* value) = 0;       // 1
  virtual bool portCommand(int32_t code, PropertyValue* value) = 0;       // 2
  virtual bool getPortValue(int32_t code, PropertyValue* value) = 0;      // 3
  virtual bool setPortValue(int32_t code, PropertyValue* value) = 0;      // 4
};

class TimeMultiplierInterface {
 public:
  virtual ~TimeMultiplierInterface() {}                                    // 0
  virtual int32_t timeMultiplier(int32_t value) = 0;                       // 1
  virtual void timeMultiplierReset() = 0;                                  // 2
  virtual int32_t timeMultiplierBias() = 0;                                // 3
};

}  // namespace KMC
