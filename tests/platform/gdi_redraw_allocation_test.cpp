// Through the loaded plug-in: once a channel has shown a few frames, a steady stream of frames
// of the same size is uploaded, composed and copied to the window without taking any new
// pixel-sized memory. Every allocation of the process (the plug-in's included) of at least
// kPixelBytes is counted.
#include "gdi/plugin_rig.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Every picture-sized buffer of this test is 300 KB or more; a row of one is 2560 bytes.
constexpr size_t kPixelBytes = 64 * 1024;
std::atomic<uint64_t> pixelAllocations{0};

inline void count(size_t bytes) {
  if (bytes >= kPixelBytes) pixelAllocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer owns malloc; it reports every allocation to a hook (declared here as the
// sanitizer runtime exports it: the compiler does not ship its header everywhere).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
namespace {
void onAllocation(const volatile void*, size_t bytes) { count(bytes); }
void onRelease(const volatile void*) {}
const int hooked = __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);
}  // namespace
#else
// The C library's allocator under its own names; these definitions take the place of the
// public ones for the whole process, the loaded plug-in included.
extern "C" {
void* __libc_malloc(size_t bytes);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t bytes);
void* __libc_memalign(size_t alignment, size_t bytes);

__attribute__((visibility("default"))) void* malloc(size_t bytes) {
  count(bytes);
  return __libc_malloc(bytes);
}
__attribute__((visibility("default"))) void* calloc(size_t n, size_t size) {
  count(n * size);
  return __libc_calloc(n, size);
}
__attribute__((visibility("default"))) void* realloc(void* p, size_t bytes) {
  count(bytes);
  return __libc_realloc(p, bytes);
}
__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t bytes) {
  count(bytes);
  return __libc_memalign(alignment, bytes);
}
__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t bytes) {
  count(bytes);
  return __libc_memalign(alignment, bytes);
}
__attribute__((visibility("default"))) int posix_memalign(void** out, size_t alignment, size_t bytes) {
  count(bytes);
  void* p = __libc_memalign(alignment, bytes);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}
}
#endif

namespace {

using namespace gdi_testing;

struct Case {
  const char* fourCC;
  int32_t frameWidth, frameHeight;  // on a 640 x 480 window
};

class SteadyStream : public ::testing::TestWithParam<Case> {};

TEST_P(SteadyStream, TakesNoPixelMemoryAfterTheFirstFrames) {
  const Case c = GetParam();
  PluginRig rig(640, 480);
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addChannel(1, c.fourCC);
  ASSERT_NE(port, nullptr);
  rig.select({1});
  // All frames are made first: the engine's own buffers are not the plug-in's doing. "BGRA"
  // frames have transparent pixels, so their mask is written and drawn too.
  const bool alpha = std::string(c.fourCC) == "BGRA";
  const int warmUp = 4, measured = 10;
  std::vector<host::OwnedVideoSample*> frames;
  for (int i = 0; i < warmUp + measured; ++i) {
    host::OwnedVideoSample* frame = rig.frame(c.frameWidth, c.frameHeight, kOpaque | uint32_t(i * 0x010203));
    if (alpha) {
      for (int32_t x = 0; x < c.frameWidth; x += 7) frame->setPixel(x, x % c.frameHeight, 0);
    }
    frames.push_back(frame);
  }
  auto show = [&](int i) {
    rig.push(port, frames[size_t(i)]);
    ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 1).size() == size_t(i) + 1; }));
  };
  for (int i = 0; i < warmUp; ++i) show(i);
  const uint32_t redraws = rig.window.generation();
  const uint64_t before = pixelAllocations.load();
  for (int i = warmUp; i < warmUp + measured; ++i) show(i);
  // The last frame's redraw ends with the window copy, after the frame is reported presented.
  EXPECT_TRUE(eventually([&] { return rig.window.generation() - redraws >= uint32_t(measured); }));
  const uint64_t taken = pixelAllocations.load() - before;
  EXPECT_EQ(taken, 0u) << taken << " pixel-sized allocations for " << measured << " frames";
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

INSTANTIATE_TEST_SUITE_P(Channels, SteadyStream,
                         ::testing::Values(Case{"BGRX", 640, 480}, Case{"BGRA", 640, 480},
                                           Case{"BGRX", 320, 240}, Case{"BGRA", 320, 240}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.fourCC) +
                                  (info.param.frameWidth == 640 ? "OneToOne" : "Stretched");
                         });

}  // namespace
