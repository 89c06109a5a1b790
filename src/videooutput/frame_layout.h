// The byte positions at which the engine's frames carry the fields the output reads in place.
//
// They are fixed for the 32-bit product, whose compiler lays out classes with a 4-byte table
// pointer and 8-byte aligned doubles. Other targets (64-bit, or 32-bit with 4-byte aligned
// doubles) have their own positions, consistent between engine and plug-in because both are
// built from the same declaration.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/engine_objects.h"
#include "platform/target.h"

namespace KMC {
namespace frame_layout {

constexpr bool kProductLayout = sizeof(void*) == 4 && alignof(RectFloat) == 8;
#if TAVORIN_PRODUCT_TARGET
// 32-bit Windows is the product's own target: there the positions below must hold.
static_assert(kProductLayout, "32-bit Windows lays out frames as the product does");
#endif

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(!kProductLayout || offsetof(VideoSample, usable) == 4, "usable word at 4");
static_assert(!kProductLayout || offsetof(VideoSample, startTime) == 44, "start time at 44");
static_assert(!kProductLayout || offsetof(VideoSample, duration) == 48, "duration at 48");
static_assert(!kProductLayout || offsetof(VideoSample, width) == 68, "width at 68");
static_assert(!kProductLayout || offsetof(VideoSample, height) == 72, "height at 72");
static_assert(!kProductLayout || offsetof(VideoSample, crop) == 88, "crop rectangle at 88");
static_assert(!kProductLayout || offsetof(VideoSample, picture) == 128, "picture rectangle at 128");
static_assert(!kProductLayout || offsetof(VideoSample, stride) == 148, "stride at 148");
static_assert(!kProductLayout || offsetof(VideoSample, bottomUp) == 152, "flag byte at 152");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace frame_layout
}  // namespace KMC
