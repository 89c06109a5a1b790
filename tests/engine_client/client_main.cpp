// An engine for the plug-in, built for the Windows compilers' C++ ABI: it loads tavorin.dll,
// drives one component through the whole protocol by table position (ordinary virtual calls
// through engine_declarations.h) and checks every answer. Usage: engine_client.exe DLL_FOLDER.
//
// Groups of checks run in order; a group stops at the first answer that would make the next
// call meaningless (or dangerous), and what it could not run is reported as failed.
#include "checks.h"
#include "engine_objects.h"
#include "runtime.h"
#include "win32_api.h"

using namespace KMC;

namespace client {
namespace {

typedef int32_t(__cdecl* GetPluginEntry)(PluginHost* host, Plugin** out);

const int32_t kWatchdogMs = 120000;
const int32_t kWaitMs = 5000;

const int32_t kPushChannel = 11;
const int32_t kPullChannel = 22;
const int32_t kWindowWidth = 160;
const int32_t kWindowHeight = 120;

const int32_t kSelectChannels = 0x1001000e;
const int32_t kSelectedChannels = 0x1002000e;
const int32_t kConnect = 0x3000000e;
const int32_t kDisconnect = 0x30010000;
const int32_t kRun = 0x30030000;
const int32_t kSetOutputRect = 0x201A000E;
const int32_t kGetOutputRect = 0x201B000E;
const int32_t kDeliverFrame = 0x200D000A;

StandardAllocator<char>* g_allocator = nullptr;

// ---- process-level guards ----

int32_t WINAPI onCrash(ExceptionPointers* info) {
  print("FAIL crash: exception 0x%x at %p during '%s'\n", info->record->code,
        info->record->address, g_step);
  ExitProcess(static_cast<uint32_t>(g_failures + 1));
}

DWORD WINAPI watchdog(void*) {
  Sleep(kWatchdogMs);
  print("FAIL watchdog: no progress for %d ms during '%s'\n", kWatchdogMs, g_step);
  ExitProcess(static_cast<uint32_t>(g_failures + 1));
}

// ---- window ----

LRESULT WINAPI windowProcedure(HWND window, uint32_t message, WPARAM w, LPARAM l) {
  return DefWindowProcW(window, message, w, l);
}

void pumpMessages() {
  WindowMessage message;
  while (PeekMessageW(&message, nullptr, 0, 0, kPeekRemove)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HWND createWindow() {
  WindowClassW wc = {};
  wc.procedure = windowProcedure;
  wc.instance = GetModuleHandleW(nullptr);
  wc.className = L"TavorinEngineClient";
  if (!RegisterClassW(&wc)) return nullptr;
  HWND window = CreateWindowExW(0, wc.className, L"engine client", kPopupWindow | kVisibleWindow,
                                0, 0, kWindowWidth, kWindowHeight, nullptr, nullptr, wc.instance,
                                nullptr);
  if (window) {
    ShowWindow(window, kShowWindow);
    UpdateWindow(window);
    pumpMessages();
  }
  return window;
}

// Waits (pumping the window's messages) until done() holds or the time is up.
template <typename Predicate>
bool waitUntil(Predicate done, int32_t timeoutMs = kWaitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (static_cast<int32_t>(GetTickCount() - start) > timeoutMs) return done();
    pumpMessages();
    Sleep(5);
  }
}

// The window's pixel as GetPixel reports it (0x00BBGGRR).
COLORREF windowPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  if (!dc) return kInvalidColour;
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

// A BGRX pixel value (0x00RRGGBB) as GetPixel reports it.
COLORREF asColorRef(uint32_t bgrx) {
  return ((bgrx >> 16) & 0xFF) | (bgrx & 0xFF00) | ((bgrx & 0xFF) << 16);
}

bool waitForPixel(HWND window, int x, int y, uint32_t bgrx, COLORREF* seen) {
  COLORREF want = asColorRef(bgrx);
  bool ok = waitUntil([&] { return (*seen = windowPixel(window, x, y)) == want; }, 3000);
  return ok;
}

// ---- strings ----

bool wideEquals(const uint16_t* text, const char* expected) {
  if (!text) return false;
  for (size_t i = 0;; ++i) {
    if (text[i] != static_cast<uint8_t>(expected[i])) return false;
    if (!expected[i]) return true;
  }
}

// dir + "\tavorin.dll"
void dllPath(const wchar_t* dir, wchar_t* out, size_t size) {
  size_t n = 0;
  while (dir[n] && n + 16 < size) {
    out[n] = dir[n];
    ++n;
  }
  const wchar_t* tail = L"\\tavorin.dll";
  for (size_t i = 0; tail[i]; ++i) out[n++] = tail[i];
  out[n] = 0;
}

// The first argument of the command line, without quotes.
void firstArgument(wchar_t* out, size_t size) {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  bool quoted = *p == L'"';
  if (quoted) ++p;
  size_t n = 0;
  while (*p && n + 1 < size && (quoted ? *p != L'"' : (*p != L' ' && *p != L'\t'))) out[n++] = *p++;
  out[n] = 0;
}

// ---- the groups ----

struct Session {
  GetPluginEntry getPlugin = nullptr;
  HMODULE module = nullptr;
};

bool entry(Session& s) {
  g_step = "entry";
  wchar_t dir[512], path[600];
  firstArgument(dir, 512);
  if (!expect(dir[0] != 0, "entry.argument", "usage: engine_client.exe DLL_FOLDER")) return false;
  dllPath(dir, path, 600);
  SetDllDirectoryW(dir);
  s.module = LoadLibraryW(path);
  if (!expect(s.module != nullptr, "entry.load", "LoadLibraryW failed, error %u", GetLastError()))
    return false;
  s.getPlugin = reinterpret_cast<GetPluginEntry>(GetProcAddress(s.module, "_getPlugin"));
  return expect(s.getPlugin != nullptr, "entry.getPlugin", "no export named _getPlugin");
}

Plugin* newComponent(Session& s, EngineHost* host, const char* name) {
  Plugin* plugin = nullptr;
  int32_t answer = s.getPlugin(host, &plugin);
  expect(answer == 0 && plugin != nullptr, name, "_getPlugin answered %d with %p", answer, plugin);
  return answer == 0 ? plugin : nullptr;
}

// Reference counting and the last release, on a component of its own.
void references(Session& s) {
  g_step = "references";
  EngineHost& host = *new EngineHost;
  Plugin* plugin = newComponent(s, &host, "references.getPlugin");
  if (!plugin) return failNotRun("references", "no component");
  int32_t n = plugin->addReference();
  if (!expect(n == 2, "references.addReference", "answered %d instead of 2 (position 1)", n)) {
    // The wrong operation ran; the component may be gone.
    return failNotRun("references.rest", "addReference answered wrongly");
  }
  n = plugin->referenceCount();
  expect(n == 2, "references.referenceCount", "answered %d instead of 2 (position 3)", n);
  n = plugin->releaseReference();
  if (!expect(n == 1, "references.releaseReference", "answered %d instead of 1 (position 2)", n))
    return failNotRun("references.rest", "releaseReference answered wrongly");
  expect(plugin->host() == &host, "references.host", "host() answered %p, the host is %p",
         plugin->host(), &host);
  PluginDescriptor* before = plugin->descriptor();
  PluginDescriptor descriptor{NarrowString("references", g_allocator)};
  plugin->descriptorRecord = &descriptor;
  PluginDescriptor* after = plugin->descriptor();
  expect(before == nullptr && after == &descriptor, "references.descriptor",
         "descriptor() answered %p before and %p after the engine set %p", before, after,
         &descriptor);
  n = plugin->releaseReference();
  expect(n == 0 && host.deletingCalls == 1 && host.deletedCalls == 1 && host.inOrder &&
             host.deletingPointer == plugin && host.deletedPointer == plugin,
         "references.lastRelease",
         "answered %d; pluginDeleting x%d, pluginDeleted x%d (component %p)", n,
         host.deletingCalls, host.deletedCalls, plugin);
}

struct Interfaces {
  ComponentInterface* component = nullptr;
  OutputInterface* output = nullptr;
  OutputComponent* outputComponent = nullptr;
};

bool interfaces(Plugin* plugin, Interfaces& out) {
  g_step = "interfaces";
  struct Query {
    const char* id;
    void** into;
  } found[] = {
      {"com.kestra.mediacore.interface.component", reinterpret_cast<void**>(&out.component)},
      {"com.kestra.mediacore.interface.output", reinterpret_cast<void**>(&out.output)},
      {"com.kestra.mediacore.component.output", reinterpret_cast<void**>(&out.outputComponent)},
  };
  bool ok = true;
  for (Query& q : found) {
    NarrowString id(q.id, g_allocator);
    void* answer = reinterpret_cast<void*>(1);
    ResultCode rc = plugin->queryInterface(id, &answer);
    char name[96];
    formatInto(name, sizeof name, "interfaces.%s", q.id + 21);
    if (!expect(rc == kResultOk && answer != nullptr && answer != reinterpret_cast<void*>(1),
                name, "queryInterface answered %d with %p (position 6)", rc, answer)) {
      ok = false;
      break;
    }
    *q.into = answer;
  }
  if (!ok) return false;
  // Compiled engine code reaches the two virtual bases through the virtual-base table at the
  // start of the OutputComponent part.
  ComponentInterface* viaBase = out.outputComponent;
  OutputInterface* outputViaBase = out.outputComponent;
  // The later groups call through queryInterface's answers, so a wrong conversion is reported
  // but does not stop them.
  expect(viaBase == out.component, "interfaces.virtualBaseComponent",
              "OutputComponent %p converts to ComponentInterface %p, queryInterface answered %p",
              out.outputComponent, viaBase, out.component);
  expect(outputViaBase == out.output, "interfaces.virtualBaseOutput",
         "OutputComponent %p converts to OutputInterface %p, queryInterface answered %p",
         out.outputComponent, outputViaBase, out.output);

  const char* unknown[] = {"com.kestra.mediacore.interface.input",
                           "com.kestra.mediacore.component.output.single", "",
                           "com.kestra.mediacore.Interface.component"};
  bool unknownOk = true;
  for (const char* text : unknown) {
    NarrowString id(text, g_allocator);
    void* answer = reinterpret_cast<void*>(1);
    ResultCode rc = plugin->queryInterface(id, &answer);
    if (rc != kResultNotFound || answer != nullptr) {
      unknownOk = expect(false, "interfaces.unknown", "'%s' answered %d with %p", text, rc, answer);
      break;
    }
  }
  if (unknownOk) expect(true, "interfaces.unknown", "");
  int32_t count = plugin->referenceCount();
  expect(count == 1, "interfaces.countUnchanged", "reference count %d after the queries", count);
  return ok;
}

void properties(ComponentInterface* component) {
  g_step = "properties";
  const char* engineEntry = "engine entry";
  // Room for more: appended in place.
  engine::vector<const char*> room;
  room.reserveEmpty(4);
  room.pushWithinCapacity(engineEntry);
  const char** roomStorage = room.first;
  bool answer = component->listProperties(&room);
  if (!expect(answer && room.size() == 3 && room.first == roomStorage && room[0] == engineEntry &&
                  textEquals(room[1], "Name") && textEquals(room[2], "Type"),
              "properties.withRoom", "answered %d, %u elements, storage %s",
              answer, static_cast<uint32_t>(room.size()),
              room.first == roomStorage ? "kept" : "moved")) {
    return failNotRun("properties.rest", "listProperties answered wrongly");
  }
  room.release();

  // Empty: the plug-in allocates the storage, from the process heap.
  engine::vector<const char*> empty = {nullptr, nullptr, nullptr};
  answer = component->listProperties(&empty);
  bool live = isLiveContainerBlock(empty.first, empty.capacity() * sizeof(const char*));
  expect(answer && empty.size() == 2 && textEquals(empty[0], "Name") &&
             textEquals(empty[1], "Type") && live,
         "properties.empty", "answered %d, %u elements, storage %p %s", answer,
         static_cast<uint32_t>(empty.size()), empty.first,
         live ? "from the process heap" : "NOT a process heap block");
  if (live) empty.release();

  // Full, with a big (32-byte aligned) block: the plug-in moves the elements into new storage
  // by the same rule and frees the old block.
  const size_t n = kBigBlockBytes / sizeof(const char*);
  engine::vector<const char*> full;
  full.reserveEmpty(n);
  for (size_t i = 0; i < n; ++i) full.pushWithinCapacity(engineEntry + (i % 8));
  const void* oldBlock = heapBlockOf(full.first, n * sizeof(const char*));
  answer = component->listProperties(&full);
  bool kept = full.size() == n + 2;
  for (size_t i = 0; kept && i < n; ++i) kept = full[i] == engineEntry + (i % 8);
  live = isLiveContainerBlock(full.first, full.capacity() * sizeof(const char*));
  bool oldFreed = !isLiveHeapBlock(oldBlock);
  expect(answer && kept && textEquals(full[n], "Name") && textEquals(full[n + 1], "Type") &&
             live && oldFreed,
         "properties.full", "answered %d, elements %s, new storage %s, old block %s", answer,
         kept ? "kept" : "LOST", live ? "by the heap rule" : "NOT by the heap rule",
         oldFreed ? "freed" : "NOT freed");
  if (live) full.release();

  PropertyValue value = {};
  answer = component->getProperty("Name", &value);
  WideString* wide = static_cast<WideString*>(value.payload.pointer);
  expect(answer && value.type == kTypeWideString && wide && wide->length == 18 &&
             wideEquals(wide->data, "GDI Video Renderer"),
         "properties.getName", "answered %d, type %u", answer, value.type);
  value = {};
  answer = component->getProperty("Type", &value);
  NarrowString* narrow = static_cast<NarrowString*>(value.payload.pointer);
  expect(answer && value.type == kTypeNarrowString && narrow &&
             textEquals(narrow->data, "Video|Renderer|GDI"),
         "properties.getType", "answered %d, type %u", answer, value.type);
  value = {};
  value.type = 0x77;
  answer = component->getProperty("name", &value);
  expect(!answer && value.type == 0x77, "properties.unknown",
         "'name' answered %d, type now %u", answer, value.type);
}

void formats(ComponentInterface* component, EngineContext* context) {
  g_step = "formats";
  engine::vector<FormatDescriptor> list = {nullptr, nullptr, nullptr};
  bool answer = component->queryFormats(context, 1, 2, 1, &list);
  bool live = isLiveContainerBlock(list.first, list.capacity() * sizeof(FormatDescriptor));
  bool shape = list.size() == 2;
  for (size_t i = 0; shape && i < 2; ++i) {
    shape = textEquals(list[i].fourCC, i == 0 ? "BGRA" : "BGRX") && list[i].size == 20 &&
            list[i].kind == 1 && list[i].cost == 200;
  }
  expect(answer && shape && live, "formats.query",
         "answered %d, %u descriptors %s, storage %s", answer,
         static_cast<uint32_t>(list.size()), shape ? "as expected" : "WRONG",
         live ? "from the process heap" : "NOT a process heap block");
  expect(context->settingAsExpected >= 1, "formats.setting",
         "getSetting called %d times, %d with kind 1 and VideoDriver|FormatCache/Enabled",
         context->settingCalls, context->settingAsExpected);
  size_t before = list.size();
  answer = component->queryFormats(context, 1, 1, 1, &list);
  expect(!answer && list.size() == before, "formats.refused",
         "a (1, 1) query answered %d and left %u descriptors", answer,
         static_cast<uint32_t>(list.size()));
  if (live) list.release();
}

struct CreateCall {
  ComponentInterface* component;
  EngineContext* context;
  int32_t done;
  int32_t answer;
};

DWORD WINAPI runCreate(void* argument) {
  CreateCall* call = static_cast<CreateCall*>(argument);
  bool answer = call->component->create(call->context);
  atomicStore(&call->answer, answer ? 1 : 0);
  atomicStore(&call->done, 1);
  return 0;
}

bool createOutput(ComponentInterface* component, EngineContext* context) {
  g_step = "create";
  // create returns once the renderer has a window, which the engine gives it from inside
  // setVideoAdapter on the output thread; this thread keeps the window's messages running.
  CreateCall call = {component, context, 0, 0};
  CreateThread(nullptr, 0, runCreate, &call, 0, nullptr);
  bool returned = waitUntil([&] { return atomicLoad(&call.done) != 0; }, 15000);
  if (!expect(returned && call.answer == 1, "create", "%s (answer %d)",
              returned ? "answered false" : "did not return within 15 s", call.answer)) {
    expect(context->chooseCalls > 0 && context->hwndIndex >= 0, "create.chooseVideoAdapter",
           "called %d times, last list of %d kinds, window-handle kind at %d",
           context->chooseCalls, context->kindCount, context->hwndIndex);
    return false;
  }
  expect(context->clockCalls >= 1, "create.getClock", "getClock called %d times",
         context->clockCalls);
  expect(context->chooseCalls > 0 && context->hwndIndex >= 0, "create.chooseVideoAdapter",
         "called %d times, last list of %d kinds, window-handle kind at %d",
         context->chooseCalls, context->kindCount, context->hwndIndex);
  if (!expect(context->adapterCalls >= 1 && context->adapter != nullptr, "create.setVideoAdapter",
              "called %d times, adapter %p", context->adapterCalls, context->adapter))
    return false;
  // The first drawing rectangle, given by value inside setVideoAdapter.
  int32_t w = context->firstDrawRect.width(), h = context->firstDrawRect.height();
  bool sized = waitUntil([&] {
    return atomicLoad(&context->windowWidth) == w && atomicLoad(&context->windowHeight) == h;
  });
  expect(sized, "create.drawRectByValue", "windowSizeChanged reported %dx%d, the rectangle is %dx%d",
         context->windowWidth, context->windowHeight, w, h);
  return true;
}

#if defined(_M_IX86)
// The compiled call of a by-value RectInt saves and restores the stack pointer around it, so a
// callee that pops the wrong number of bytes would go unnoticed there. This call does what it
// does (the 20 bytes of the object on the stack, this in ecx) and answers how many argument
// bytes the callee left on the stack: 0 for a thiscall callee that ends with ret 20.
__attribute__((naked)) int32_t __cdecl argumentBytesLeft(void* function, void* self,
                                                          const void* rect) {
  asm volatile(
      "pushl %ebp\n\t"
      "movl %esp, %ebp\n\t"
      "pushl %esi\n\t"
      "pushl %edi\n\t"
      "movl 16(%ebp), %esi\n\t"
      "movl %esp, %edi\n\t"
      "pushl 16(%esi)\n\t"
      "pushl 12(%esi)\n\t"
      "pushl 8(%esi)\n\t"
      "pushl 4(%esi)\n\t"
      "pushl 0(%esi)\n\t"
      "movl 12(%ebp), %ecx\n\t"
      "calll *8(%ebp)\n\t"
      "movl %edi, %eax\n\t"
      "subl %esp, %eax\n\t"
      "movl %edi, %esp\n\t"
      "popl %edi\n\t"
      "popl %esi\n\t"
      "popl %ebp\n\t"
      "retl");
}

void calleePops(VideoAdapterHWND* adapter) {
  // The rectangle already set: the call changes nothing.
  RectInt same(0, 0, kWindowWidth - 1, kWindowHeight - 1);
  void* setDrawRect = (*reinterpret_cast<void***>(adapter))[1];
  int32_t left = argumentBytesLeft(setDrawRect, adapter, &same);
  expect(left == 0, "adapter.setDrawRectPops20",
         "setDrawRect left %d of the 20 argument bytes on the stack", left);
}
#endif

void geometry(EngineContext* context) {
  g_step = "setDrawRect";
  VideoAdapterHWND* adapter = static_cast<VideoAdapterHWND*>(context->adapter);
  adapter->setSecondaryRect(RectInt(1, 2, 3, 4));
  adapter->setDrawRect(RectInt(0, 0, kWindowWidth - 1, kWindowHeight - 1));
  bool sized = waitUntil([&] {
    return atomicLoad(&context->windowWidth) == kWindowWidth &&
           atomicLoad(&context->windowHeight) == kWindowHeight;
  });
  if (!expect(sized, "adapter.setDrawRect",
              "windowSizeChanged reported %dx%d, the rectangle is %dx%d", context->windowWidth,
              context->windowHeight, kWindowWidth, kWindowHeight))
    return;
#if defined(_M_IX86)
  calleePops(adapter);
#endif
}

bool setOutputRect(PortInterface* port, const RectFloat& rect, const char* name) {
  RectFloat copy(rect);
  PropertyValue value = {};
  value.type = kTypeObject;
  value.payload.pointer = &copy;
  bool set = port->setPortValue(kSetOutputRect, &value);
  RectFloat back(-1, -1, -1, -1);
  value.payload.pointer = &back;
  bool got = port->getPortValue(kGetOutputRect, &value);
  return expect(set && got && back.left == rect.left && back.top == rect.top &&
                    back.right == rect.right && back.bottom == rect.bottom,
                name, "set answered %d, get answered %d, the rectangle read back differs", set, got);
}

bool portCommand(PortInterface* port, int32_t code, void* payload) {
  PropertyValue value = {};
  value.type = kTypeObject;
  value.payload.pointer = payload;
  return port->portCommand(code, &value);
}

bool deliver(PortInterface* port, EngineFrame* frame) {
  PropertyValue value = {};
  value.type = kTypeObject;
  value.payload.pointer = static_cast<VideoSample*>(frame);
  frame->handed = 1;
  return port->setPortValue(kDeliverFrame, &value);
}

struct Frames {
  EngineFrame red{0x00FF0000, 0, 0};
  EngineFrame blue{0x000000FF, 0, 0};
  EngineFrame green{0x0000FF00, 1000, 40};
  EngineFrame yellow{0x00FFFF00, 1040, 40};
  EngineFrame cyan{0x0000FFFF, 1080, 40};
  EngineFrame* pulled[3] = {&green, &yellow, &cyan};
  EngineFrame* all[5] = {&red, &blue, &green, &yellow, &cyan};
};

bool presented(EngineContext* context, int32_t channel, EngineFrame* frame, HWND window, int x,
               int y, const char* name) {
  bool shown = waitUntil([&] { return context->presentedCount(channel, frame) > 0; });
  COLORREF seen = kInvalidColour;
  bool drawn = shown && waitForPixel(window, x, y, frame->colour, &seen);
  return expect(shown && drawn, name, "%s; pixel (%d) 0x%x, frame colour 0x%x",
                shown ? "presented" : "never presented (channelEvent code 2)", x, seen,
                asColorRef(frame->colour));
}

bool releasedOnce(EngineFrame* frame) { return atomicLoad(&frame->releases) == 1; }

// Ports, selection, pushed and pulled frames, read back from the window, and the ports' removal.
void streams(Plugin*, Interfaces& in, EngineContext* context, EngineClock* clock, Frames& frames,
             HWND window) {
  g_step = "createPort";
  StreamDescriptor descriptor = {{'B', 'G', 'R', 'X', 0, 0, 0, 0}, 20, 1, 0};
  StreamDescriptor audio = {{'B', 'G', 'R', 'X', 0, 0, 0, 0}, 20, 2, 0};
  EngineStream& pushStream = *new EngineStream(kPushChannel);
  EngineStream& pullStream = *new EngineStream(kPullChannel);
  EngineStream& audioStream = *new EngineStream(33);
  PortInterface* bad = in.output->createPort(1, &audio, &audioStream);
  expect(bad == nullptr && audioStream.idCalls == 0, "ports.refusedKind",
         "a stream of kind 2 got port %p", bad);
  PortInterface* pushPort = in.output->createPort(1, &descriptor, &pushStream);
  if (!expect(pushPort && pushStream.idCalls == 1 && pushStream.multiplierCalls == 1 &&
                  pushStream.multiplier,
              "ports.createPush", "port %p, channelId asked %d times, multiplier given %d times",
              pushPort, pushStream.idCalls, pushStream.multiplierCalls)) {
    return failNotRun("streams", "no port");
  }
  int32_t first = pushStream.multiplier->unnamed1(7);
  int32_t third = pushStream.multiplier->unnamed3();
  pushStream.multiplier->unnamed2();
  expect(first == 1 && third == -100, "ports.timeMultiplier",
         "positions 1 and 3 answered %d and %d", first, third);
  PortInterface* pullPort = in.output->createPort(2, &descriptor, &pullStream);
  if (!expect(pullPort != nullptr && pullStream.idCalls == 1, "ports.createPull", "port %p",
              pullPort)) {
    return failNotRun("streams", "no pull port");
  }
  setOutputRect(pushPort, RectFloat(0, 0, 0.5, 1), "ports.outputRectPush");
  setOutputRect(pullPort, RectFloat(0.5, 0, 1, 1), "ports.outputRectPull");

  g_step = "selection";
  engine::list_int32 ids;
  ids.init();
  ids.pushBack(kPushChannel);
  ids.pushBack(kPullChannel);
  PropertyValue value = {};
  value.type = kTypeObject;
  value.payload.pointer = &ids;
  bool selected = in.component->setParameter(kSelectChannels, &value);
  if (!expect(selected, "selection.set", "setParameter 0x1001000e answered false")) {
    ids.release();
    return failNotRun("streams.frames", "no selection");
  }
  engine::list_int32 answer;
  answer.init();
  value.payload.pointer = &answer;
  bool got = in.component->getParameter(kSelectedChannels, &value);
  bool shape = answer.size == 2 && answer.head->next->value == kPushChannel &&
               answer.head->next->next->value == kPullChannel &&
               answer.head->next->next->next == answer.head && answer.head->prev->value == kPullChannel;
  bool heap = shape && isLiveHeapBlock(answer.head->next) && isLiveHeapBlock(answer.head->next->next);
  expect(got && shape && heap, "selection.get",
         "answered %d, %u ids %s, nodes %s", got, static_cast<uint32_t>(answer.size),
         shape ? "as selected" : "WRONG", heap ? "from the process heap" : "NOT heap blocks");
  if (shape) answer.release();
  ids.release();

  g_step = "pushed frames";
  EngineSource* idle = new EngineSource(nullptr, 0);
  bool connected = portCommand(pushPort, kConnect, idle) && portCommand(pushPort, kRun, nullptr);
  expect(connected, "frames.connectPush", "connect or run answered false");
  const int leftX = kWindowWidth / 4, rightX = 3 * kWindowWidth / 4, midY = kWindowHeight / 2;
  if (expect(deliver(pushPort, &frames.red), "frames.deliver", "setPortValue 0x200D000A answered false")) {
    presented(context, kPushChannel, &frames.red, window, leftX, midY, "frames.pushedRed");
    deliver(pushPort, &frames.blue);
    presented(context, kPushChannel, &frames.blue, window, leftX, midY, "frames.pushedBlue");
    expect(waitUntil([&] { return releasedOnce(&frames.red); }), "frames.replacedReleased",
           "the replaced frame was released %d times", frames.red.releases);
  }

  g_step = "pulled frames";
  EngineSource& source = *new EngineSource(frames.pulled, 3);
  atomicStore(&clock->now, 1000);
  connected = portCommand(pullPort, kConnect, &source) && portCommand(pullPort, kRun, nullptr);
  expect(connected, "frames.connectPull", "connect or run answered false");
  presented(context, kPullChannel, &frames.green, window, rightX, midY, "frames.pulledAt1000");
  atomicStore(&clock->now, 1040);
  presented(context, kPullChannel, &frames.yellow, window, rightX, midY, "frames.pulledAt1040");
  atomicStore(&clock->now, 1080);
  presented(context, kPullChannel, &frames.cyan, window, rightX, midY, "frames.pulledAt1080");
  expect(source.badCode == 0 && source.handedOut == 3, "frames.pullCalls",
         "%d pulls, %d with a wrong code or value, %d frames handed out", source.pulls,
         source.badCode, source.handedOut);
  expect(clock->timeCalls > 0 && clock->runningCalls > 0 && clock->rateCalls > 0, "frames.clock",
         "currentTime x%d, isRunning x%d, rate x%d", clock->timeCalls, clock->runningCalls,
         clock->rateCalls);
  COLORREF left = windowPixel(window, leftX, midY);
  expect(left == asColorRef(frames.blue.colour), "frames.bothChannels",
         "the pushed channel's half shows 0x%x instead of 0x%x", left,
         asColorRef(frames.blue.colour));

  g_step = "removePort";
  bool off = portCommand(pushPort, kDisconnect, nullptr) && portCommand(pullPort, kDisconnect, nullptr);
  expect(off, "ports.disconnect", "disconnect answered false");
  bool removed = in.output->removePort(pushPort);
  removed = in.output->removePort(pullPort) && removed;
  expect(removed, "ports.remove", "removePort answered false");
  bool again = in.output->removePort(pushPort);
  expect(!again, "ports.removeUnknown", "removing a removed port answered true");
}

}  // namespace

int run() {
  SetUnhandledExceptionFilter(onCrash);
  CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr);
  StandardAllocator<char> allocator;
  g_allocator = &allocator;

  Session session;
  if (!entry(session)) return g_failures;
  references(session);

  g_step = "component";
  EngineHost& host = *new EngineHost;
  Plugin* plugin = newComponent(session, &host, "component.getPlugin");
  if (!plugin) return g_failures;
  Interfaces in;
  if (!interfaces(plugin, in)) {
    failNotRun("properties, formats, create, streams, teardown", "the interfaces were not found");
    return g_failures;
  }
  properties(in.component);

  EngineClock& clock = *new EngineClock;
  EngineContext& context = *new EngineContext;
  context.clock = &clock;
  context.firstDrawRect = RectInt(0, 0, kWindowWidth / 2 - 1, kWindowHeight / 2 - 1);
  formats(in.component, &context);

  g_step = "window";
  HWND window = createWindow();
  if (!expect(window != nullptr, "window", "CreateWindowExW failed, error %u", GetLastError()))
    return g_failures;
  context.window = window;
  PluginDescriptor descriptor{NarrowString("Engine Client Output", &allocator)};
  plugin->descriptorRecord = &descriptor;

  Frames& frames = *new Frames;
  if (createOutput(in.component, &context)) {
    geometry(&context);
    streams(plugin, in, &context, &clock, frames, window);
    g_step = "destroy";
    expect(in.component->destroy(), "destroy", "answered false");
  } else {
    failNotRun("streams", "create failed");
  }

  g_step = "last release";
  int32_t left = plugin->releaseReference();
  expect(left == 0 && host.deletingCalls == 1 && host.deletedCalls == 1 && host.inOrder &&
             host.deletingPointer == plugin && host.deletedPointer == plugin,
         "teardown.lastRelease", "answered %d; pluginDeleting x%d, pluginDeleted x%d", left,
         host.deletingCalls, host.deletedCalls);
  expect(context.adapterCalls == 0 || context.nullAdapterCalls == 1, "teardown.adapterDropped",
         "setVideoAdapter(null) seen %d times", context.nullAdapterCalls);
  // Every frame handed to the plug-in comes back exactly once; the others never.
  const char* names[] = {"red", "blue", "green", "yellow", "cyan"};
  int32_t wrong = -1;
  for (int i = 0; i < 5 && wrong < 0; ++i) {
    if (frames.all[i]->releases != frames.all[i]->handed) wrong = i;
  }
  int32_t handedTotal = 0;
  for (EngineFrame* f : frames.all) handedTotal += f->handed;
  if (handedTotal == 0) {
    failNotRun("teardown.framesReleasedOnce", "no frame was handed to the plug-in");
  } else {
    expect(wrong < 0, "teardown.framesReleasedOnce", "frame %s handed over %d times, released %d times",
         wrong >= 0 ? names[wrong] : "", wrong >= 0 ? frames.all[wrong]->handed : 0,
         wrong >= 0 ? frames.all[wrong]->releases : 0);
  }
  expect(g_strayCalls.count == 0, "teardown.noStrayCalls",
         "%d calls of positions never called, the last: %s", g_strayCalls.count,
         g_strayCalls.last ? g_strayCalls.last : "-");
  g_step = "unload";
  expect(FreeLibrary(session.module) != 0, "unload", "FreeLibrary failed");
  return g_failures;
}

}  // namespace client

extern "C" void __cdecl mainCRTStartup() {
  int failures = client::run();
  client::print("%d passed, %d failed\n", client::g_passes, failures);
  ExitProcess(static_cast<uint32_t>(failures));
}
