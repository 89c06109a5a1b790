// Every size and offset of an engine-facing record, asserted in one place.
//
// Each line states one number of the binary interface for both builds: at(on 32-bit, on 64-bit),
// in bytes. The plug-in's build checks them here (tavorin_abi compiles this header); the engine
// client's table check (tests/engine_client/check_table_positions.py) reads the same lines and
// checks the engine's own declarations against them, so the numbers are written only here. Keep
// the shape of the lines: "static_assert(sizeof(R) == at(a, b)" and
// "static_assert(offsetof(R, field) == at(a, b)".
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/engine_containers.h"
#include "abi/engine_objects.h"
#include "abi/format_descriptor.h"
#include "abi/geometry_records.h"
#include "abi/kestra_string.h"
#include "abi/list.h"
#include "abi/plugin.h"
#include "abi/property_value.h"
#include "abi/setting.h"

namespace KMC {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"  // fixed by the ABI, not by the language
#endif

// A friend of the records with private fields; the assertions sit in a member function so that
// the class is complete where they are checked.
struct RecordLayout {
  static constexpr size_t at(size_t on32, size_t on64) { return sizeof(void*) == 4 ? on32 : on64; }
  static void check();
};

inline void RecordLayout::check() {

  // The frame fields the library reads in place.
  static_assert(offsetof(VideoSample, usable) == at(4, 8), "usable word");
  static_assert(offsetof(VideoSample, startTime) == at(44, 48), "start time");
  static_assert(offsetof(VideoSample, duration) == at(48, 52), "duration");
  static_assert(offsetof(VideoSample, width) == at(68, 72), "width");
  static_assert(offsetof(VideoSample, height) == at(72, 76), "height");
  static_assert(offsetof(VideoSample, crop) == at(88, 96), "crop rectangle");
  static_assert(offsetof(VideoSample, picture) == at(128, 136), "picture rectangle");
  static_assert(offsetof(VideoSample, stride) == at(148, 160), "stride");
  static_assert(offsetof(VideoSample, bottomUp) == at(152, 164), "bottom-up flag byte");

  // The engine's rectangles: their table pointer, then the four edges.
  static_assert(sizeof(RectIntRecord) == at(20, 24), "RectInt");
  static_assert(offsetof(RectIntRecord, left) == at(4, 8), "RectInt edges");
  static_assert(sizeof(RectFloatRecord) == at(40, 40), "RectFloat");
  static_assert(offsetof(RectFloatRecord, left) == at(8, 8), "RectFloat edges");
  static_assert(sizeof(MaskedFloat4) == at(20, 20), "display factors");

  // Values and format descriptors.
  static_assert(sizeof(PropertyValue) == at(16, 16), "PropertyValue");
  static_assert(alignof(PropertyValue) == 8, "PropertyValue is 8-byte aligned");
  static_assert(offsetof(PropertyValue, type) == at(0, 0), "PropertyValue type");
  static_assert(offsetof(PropertyValue, payload) == at(8, 8), "PropertyValue payload");
  static_assert(sizeof(FormatDescriptor) == at(20, 20), "FormatDescriptor");
  static_assert(offsetof(FormatDescriptor, fourCC) == at(0, 0), "format code");
  static_assert(offsetof(FormatDescriptor, size) == at(8, 8), "descriptor size");
  static_assert(offsetof(FormatDescriptor, kind) == at(12, 12), "media kind");
  static_assert(offsetof(FormatDescriptor, cost) == at(16, 16), "cost");

  // The component: its table pointer, then the count, the host and the descriptor.
  static_assert(sizeof(Plugin) == at(16, 32), "Plugin");
  static_assert(offsetof(Plugin, referenceCount_) == at(4, 8), "reference count");
  static_assert(offsetof(Plugin, host_) == at(8, 16), "host");
  static_assert(offsetof(Plugin, descriptor_) == at(12, 24), "descriptor record");

  // Strings, settings and the list of adapter kinds.
  static_assert(sizeof(NarrowString) == at(12, 24), "engine string");
  static_assert(offsetof(NarrowString, data_) == at(0, 0), "string buffer");
  static_assert(offsetof(NarrowString, length_) == at(4, 8), "string length");
  static_assert(offsetof(NarrowString, allocator_) == at(8, 16), "string allocator");
  static_assert(offsetof(Setting, kind_) == at(4, 8), "setting kind");
  static_assert(sizeof(Node<NarrowString>) == at(16, 32), "list node");
  static_assert(offsetof(Node<NarrowString>, value) == at(0, 0), "node value");
  static_assert(offsetof(Node<NarrowString>, next) == at(12, 24), "node link");
  static_assert(sizeof(StringList) == at(16, 32), "list");
  static_assert(offsetof(StringList, head_) == at(0, 0), "list head");
  static_assert(offsetof(StringList, tail_) == at(4, 8), "list tail");
  static_assert(offsetof(StringList, count_) == at(8, 16), "list count");
  static_assert(offsetof(StringList, nodeAllocator_) == at(12, 24), "list node allocator");

  // The engine's containers.
  static_assert(sizeof(EngineVector<const char*>) == at(12, 24), "vector of names");
  static_assert(offsetof(EngineVector<const char*>, first) == at(0, 0), "vector first");
  static_assert(offsetof(EngineVector<const char*>, last) == at(4, 8), "vector last");
  static_assert(offsetof(EngineVector<const char*>, endOfStorage) == at(8, 16), "vector end");
  static_assert(sizeof(FormatList) == at(12, 24), "vector of formats");
  static_assert(offsetof(FormatList, first) == at(0, 0), "vector first");
  static_assert(offsetof(FormatList, last) == at(4, 8), "vector last");
  static_assert(offsetof(FormatList, endOfStorage) == at(8, 16), "vector end");
  static_assert(sizeof(ChannelIdList) == at(8, 16), "list of channel ids");
  static_assert(offsetof(ChannelIdList, head) == at(0, 0), "list sentinel");
  static_assert(offsetof(ChannelIdList, count) == at(4, 8), "list size");
  static_assert(sizeof(EngineListNode<int32_t>) == at(12, 24), "list node of an id");
  static_assert(offsetof(EngineListNode<int32_t>, next) == at(0, 0), "node next");
  static_assert(offsetof(EngineListNode<int32_t>, prev) == at(4, 8), "node prev");
  static_assert(offsetof(EngineListNode<int32_t>, value) == at(8, 16), "node value");
}

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace KMC
