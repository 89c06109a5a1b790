// Every number the engine and a video output exchange as a code, named once. The engine, the
// output and the tests all use these names; a bare 2 or 0x3000000e elsewhere is a mistake.
//
// Operation codes carry their payload kind in their low 16 bits: 0x0005 an integer, 0x000E an
// object pointer, 0x000A a frame (VideoSample pointer), 0x0000 none.
#pragma once

#include <cstdint>

namespace KMC {

// ComponentInterface::sendCommand, getParameter and setParameter.
enum ComponentCode : int32_t {
  kCommandActivate = 0x10010000,
  kCommandDeactivate = 0x10020000,
  kCommandReconfigure = 0x10030000,
  kParameterSelectChannels = 0x1001000e,    // payload: ChannelIdList of the ids to present
  kParameterSelectedChannels = 0x1002000e,  // payload: ChannelIdList the ids are appended to
};

// The codes a port understands (PortInterface entries 1-4).
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

// OutputInterface::createPort's channel kind: how frames reach the channel. Every kind other
// than kChannelPull is a push channel.
enum ChannelKind : int32_t {
  kChannelPush = 1,
  kChannelPull = 2,  // the channel pulls from its upstream source on a thread of its own
};

// The media kinds (stream descriptor bytes 12-15) a video output takes a port for.
enum StreamKind : int32_t {
  kStreamVideo = 1,
  kStreamVideoAlternate = 4,
};

// ComponentContext::channelEvent's codes.
enum ChannelEventCode : int32_t {
  kEventPresented = 2,       // the frame is now on screen (still the output's)
  kEventRendererObject = 3,  // an object the renderer made of the presented frame, released after
  kEventDroppedLate = 4,     // the frame came too late and is released after
};

}  // namespace KMC
