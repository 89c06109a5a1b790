// The component interfaces and engine objects, declared as the engine declares them and as a
// compiler of the Windows C++ ABI lays them out: virtual destructors (one table entry each),
// OutputComponent with its two virtual bases, polymorphic rectangles passed by value. Nothing
// here spells a table out: the compiler decides every position, as it does for the engine.
//
// The order of virtual functions is the binary interface. Positions the engine never calls and
// whose meaning is open are declared as reservedN or unnamedN.
#pragma once

#include "engine_containers.h"
#include "freestanding_types.h"

namespace KMC {

enum ResultCode : int32_t { kResultOk = 0, kResultNotFound = 3 };

typedef void* WindowHandle;

// ---- strings and allocators ----

template <typename T>
class StandardAllocator {
 public:
  virtual ~StandardAllocator() {}
  virtual T* allocate(uint32_t count);
  virtual void deallocate(T* pointer);

  int32_t allocations = 0;
  int32_t deallocations = 0;
};

template <typename T, typename Allocator>
class kestra_string {
 public:
  kestra_string(const T* text, Allocator* allocator) : data(nullptr), length(0), allocator(allocator) {
    if (!text) return;
    int32_t n = 0;
    while (text[n]) ++n;
    data = allocator->allocate(static_cast<uint32_t>(n + 1));
    for (int32_t i = 0; i <= n; ++i) data[i] = text[i];
    length = n;
  }
  ~kestra_string() {
    if (data) allocator->deallocate(data);
  }
  kestra_string(const kestra_string&) = delete;
  kestra_string& operator=(const kestra_string&) = delete;

  T* data;
  int32_t length;
  Allocator* allocator;
};

typedef kestra_string<char, StandardAllocator<char>> NarrowString;
typedef kestra_string<uint16_t, StandardAllocator<uint16_t>> WideString;

// The engine's singly linked list (the renderer's adapter kinds).
template <typename T>
struct Node {
  T value;
  Node* next;
};

template <typename T>
struct List {
  Node<T>* head;
  Node<T>* tail;
  int32_t count;
  StandardAllocator<Node<T>>* nodeAllocator;
};

typedef List<NarrowString> StringList;

// ---- values ----

enum PropertyType : uint8_t {
  kTypeInt32 = 5,
  kTypeNarrowString = 11,
  kTypeWideString = 13,
  kTypeObject = 14,
};

struct alignas(8) PropertyValue {
  uint8_t type;
  uint8_t padding[7];
  union {
    int32_t int32;
    void* pointer;
    uint8_t bytes[8];
  } payload;
};

struct FormatDescriptor {
  char fourCC[8];
  int32_t size;
  int32_t kind;
  int32_t cost;
};

typedef FormatDescriptor StreamDescriptor;

// ---- geometry ----

template <typename T>
class Rect {
 public:
  Rect(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
  virtual ~Rect() {}
  virtual T width() const = 0;
  virtual T height() const = 0;

  T left, top, right, bottom;
};

class RectInt : public Rect<int32_t> {
 public:
  RectInt() : Rect<int32_t>(0, 0, 0, 0) {}
  RectInt(int32_t l, int32_t t, int32_t r, int32_t b) : Rect<int32_t>(l, t, r, b) {}
  RectInt(const RectInt& o) : Rect<int32_t>(o.left, o.top, o.right, o.bottom) {}
  ~RectInt() override {}
  int32_t width() const override { return right - left + 1; }
  int32_t height() const override { return bottom - top + 1; }
};

class RectFloat : public Rect<double> {
 public:
  RectFloat() : Rect<double>(0, 0, 0, 0) {}
  RectFloat(double l, double t, double r, double b) : Rect<double>(l, t, r, b) {}
  RectFloat(const RectFloat& o) : Rect<double>(o.left, o.top, o.right, o.bottom) {}
  ~RectFloat() override {}
  double width() const override { return right - left; }
  double height() const override { return bottom - top; }
};

// ---- settings ----

class Setting {
 public:
  virtual ~Setting() {}

  int32_t kind;
  NarrowString path;
  NarrowString name;
};

// ---- engine objects (implemented by the engine, called by the plug-in) ----

class Plugin;
class MediaClock;
class VideoSample;
class VideoAdapterUnknown;
class TimeMultiplierInterface;

class PluginHost {
 public:
  virtual ~PluginHost() {}
  virtual int32_t reserved1() = 0;
  virtual int32_t reserved2() = 0;
  virtual int32_t reserved3() = 0;
  virtual int32_t reserved4() = 0;
  virtual int32_t reserved5() = 0;
  virtual int32_t reserved6() = 0;
  virtual int32_t reserved7() = 0;
  virtual int32_t pluginDeleting(Plugin* plugin) = 0;
  virtual int32_t pluginDeleted(Plugin* plugin) = 0;
};

struct PluginDescriptor {
  NarrowString name;
};

class ComponentContext {
 public:
  virtual ~ComponentContext() {}
  virtual int32_t chooseVideoAdapter(StringList* kinds) = 0;
  virtual int32_t setVideoAdapter(VideoAdapterUnknown* adapter) = 0;
  virtual int32_t videoSizeChanged(int32_t width, int32_t height) = 0;
  virtual int32_t windowSizeChanged(int32_t width, int32_t height) = 0;
  virtual int32_t channelEvent(int32_t channelId, int32_t code, VideoSample* object) = 0;
  virtual int32_t reserved6() = 0;
  virtual int32_t reserved7() = 0;
  virtual int32_t reserved8() = 0;
  virtual bool getSetting(Setting& setting, PropertyValue* out) = 0;
  virtual MediaClock* getClock() = 0;
};

class MediaClock {
 public:
  virtual ~MediaClock() {}
  virtual int32_t reserved1() = 0;
  virtual int32_t reserved2() = 0;
  virtual int32_t currentTime() = 0;
  virtual int32_t reserved4() = 0;
  virtual bool isRunning() = 0;
  virtual int32_t reserved6() = 0;
  virtual int32_t rate() = 0;
};

// A frame. The fields are read in place by the plug-in; on i686 they sit at the byte offsets
// 4, 44, 48, 68, 72, 88, 128, 148 and 152, on x86_64 at the natural offsets of the same fields
// (8, 48, 52, 72, 76, 96, 136, 160, 164). On i686 the Windows compilers would pad the table
// pointer of a class that holds a double to 8 bytes and put the first field at 8, so the frame
// is packed to 4 there: the engine's frames have their first field at 4.
#if defined(_M_IX86)
#pragma pack(push, 4)
#endif
class VideoSample {
 public:
  virtual ~VideoSample() {}
  virtual int32_t reserved1() = 0;
  virtual int32_t release() = 0;
  virtual uint32_t* data() = 0;
  virtual int32_t dataDone() = 0;

  int32_t usable;
  uint8_t gap8[36];
  int32_t startTime;
  uint32_t duration;
  uint8_t gap52[16];
  int32_t width;
  int32_t height;
  uint8_t gap76[12];
  RectFloat crop;
  RectInt picture;
  int32_t stride;
  uint8_t bottomUp;
};
#if defined(_M_IX86)
#pragma pack(pop)
#endif

class UpstreamSource {
 public:
  virtual ~UpstreamSource() {}
  virtual int32_t reserved1() = 0;
  virtual int32_t reserved2() = 0;
  virtual bool pull(int32_t code, PropertyValue* out) = 0;
};

class StreamObject {
 public:
  virtual ~StreamObject() {}
  virtual int32_t channelId() = 0;
  virtual int32_t setTimeMultiplier(TimeMultiplierInterface* multiplier) = 0;
};

// ---- the component's interfaces (implemented by the plug-in, called by the engine) ----

class Plugin {
 public:
  virtual ~Plugin() {}
  virtual int32_t addReference() = 0;
  virtual int32_t releaseReference() = 0;
  virtual int32_t referenceCount() = 0;
  virtual PluginDescriptor* descriptor() = 0;
  virtual PluginHost* host() = 0;
  virtual ResultCode queryInterface(const NarrowString& id, void** out) = 0;

  int32_t count;
  PluginHost* hostObject;
  PluginDescriptor* descriptorRecord;  // written by the engine in place before create
};

class PortInterface;

class ComponentInterface {
 public:
  virtual ~ComponentInterface() {}
  virtual bool create(ComponentContext* context) = 0;
  virtual bool destroy() = 0;
  virtual bool sendCommand(int32_t code, int32_t argument) = 0;
  virtual bool unnamed4(int32_t first, int32_t second) = 0;
  virtual bool getParameter(int32_t id, PropertyValue* out) = 0;
  virtual bool setParameter(int32_t id, PropertyValue* value) = 0;
  virtual bool queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                            engine::vector<FormatDescriptor>* out) = 0;
  virtual bool listProperties(engine::vector<const char*>* out) = 0;
  virtual bool getProperty(const char* name, PropertyValue* out) = 0;
};

class OutputInterface {
 public:
  virtual ~OutputInterface() {}
  virtual PortInterface* createPort(int32_t channelKind, StreamDescriptor* descriptor,
                                    StreamObject* stream) = 0;
  virtual bool removePort(PortInterface* port) = 0;
};

class OutputComponent : public virtual ComponentInterface, public virtual OutputInterface {};

class PortInterface {
 public:
  virtual ~PortInterface() {}
  virtual bool queryStatus(int32_t code, PropertyValue* value) = 0;
  virtual bool portCommand(int32_t code, PropertyValue* value) = 0;
  virtual bool getPortValue(int32_t code, PropertyValue* value) = 0;
  virtual bool setPortValue(int32_t code, PropertyValue* value) = 0;
};

class TimeMultiplierInterface {
 public:
  virtual ~TimeMultiplierInterface() {}
  virtual int32_t unnamed1(int32_t value) = 0;
  virtual void unnamed2() = 0;
  virtual int32_t unnamed3() = 0;
};

class VideoAdapterUnknown {
 public:
  virtual ~VideoAdapterUnknown() {}
  virtual void setDrawRect(RectInt rect) = 0;
  virtual void setSecondaryRect(RectInt rect) = 0;
};

class VideoAdapterHWND : public VideoAdapterUnknown {
 public:
  virtual void setWindow(WindowHandle window) = 0;
};

// ---- the engine's allocator ----

template <typename T>
T* StandardAllocator<T>::allocate(uint32_t count) {
  ++allocations;
  return static_cast<T*>(client::heapAllocate(count * sizeof(T)));
}

template <typename T>
void StandardAllocator<T>::deallocate(T* pointer) {
  ++deallocations;
  client::heapFree(pointer);
}

}  // namespace KMC
