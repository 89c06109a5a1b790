// The codes a port understands. The low 16 bits name the payload kind: 0x0005 an integer,
// 0x000E an object pointer, 0x000A a frame, 0x0000 none.
#pragma once

#include <cstdint>

namespace KMC {

enum PortCode : int32_t {
  // queryStatus
  kStatusReady = 0x40000002,      // a pull channel is ready with 2 or more queued frames
  kStatusPosition = 0x40010006,   // start time of the last presented frame
  // portCommand
  kCommandSeek = 0x10040005,      // integer payload (type code 5)
  kCommandConnect = 0x3000000e,   // payload: the upstream source
  kCommandDisconnect = 0x30010000,
  kCommandPause = 0x30020000,
  kCommandRun = 0x30030000,
  kCommandFlush = 0x30040000,
  kCommandReset = 0x30050000,
  // getPortValue
  kValueIntegerA = 0x200A0005,    // the output's two integer properties (both -1)
  kValueIntegerB = 0x200B0005,
  kValueGetOutputRect = 0x201B000E,
  kValueGetDisplayFactors = 0x201D000E,
  kValueSurfaceObject = 0x201E000E,
  kValueRendererObject = 0x2020000E,
  // setPortValue
  kValueSetOutputRect = 0x201A000E,
  kValueSetDisplayFactors = 0x201C000E,
  kValueDeliverFrame = 0x200D000A,
};

// The code of an upstream source's pull.
const int32_t kPullCode = 0x200c000a;

}  // namespace KMC
