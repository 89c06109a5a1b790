// Pooled frames: pixels recycled at the first release, every release counted.
#include <gtest/gtest.h>

#include "frame_pool.h"

namespace {

using play::FramePool;
using play::PooledFrame;

TEST(FramePool, CountsReleasesAndRecyclesPixelsOfReleasedFramesOnly) {
  FramePool pool;
  PooledFrame* a = pool.make(40, 40, 8, 4);
  PooledFrame* b = pool.make(80, 40, 8, 4);
  EXPECT_EQ(a->startTime, 40);
  EXPECT_EQ(b->serial(), 1);
  EXPECT_EQ(pool.buffersAllocated(), 2);
  EXPECT_FALSE(pool.allReleasedExactlyOnce());

  a->data()[5] = 0x12345678u;
  uint32_t* pixelsOfA = a->data();
  a->release();
  EXPECT_EQ(pool.released(), 1);
  PooledFrame* c = pool.make(120, 40, 8, 4);
  EXPECT_EQ(c->data(), pixelsOfA) << "a released frame's buffer is used again";
  EXPECT_EQ(pool.buffersAllocated(), 2);
  PooledFrame* d = pool.make(160, 40, 16, 4);
  EXPECT_EQ(pool.buffersAllocated(), 3) << "a buffer of another size is not reused";

  b->release();
  c->release();
  d->release();
  EXPECT_TRUE(pool.allReleasedExactlyOnce());
  EXPECT_EQ(pool.created(), 4);

  b->release();
  EXPECT_EQ(pool.extraReleases(), 1);
  EXPECT_EQ(pool.released(), 4);
  EXPECT_FALSE(pool.allReleasedExactlyOnce());
  PooledFrame* e = pool.make(200, 40, 8, 4);
  EXPECT_NE(e->data(), nullptr);
  EXPECT_EQ(pool.buffersAllocated(), 3) << "a second release gives back nothing";
  e->release();
}

}  // namespace
