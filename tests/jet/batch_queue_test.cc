#include "jet/batch_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

namespace jet {
namespace {

struct Numbered {
  std::size_t number = 0;
  bool last = false;
  std::exception_ptr error;
};

// Batches numbered from 0, the one numbered `count - 1` the last; the maker
// or the taker dawdles now and then, so that each side waits for the other
// with the ring empty, full, and in between.
void takeAll(std::size_t ringSize, std::size_t count, bool slowMaker) {
  std::vector<Numbered> ring(ringSize);
  std::size_t made = 0;
  const auto dawdle = [](std::size_t n) {
    if (n % 7 < 3) std::this_thread::sleep_for(std::chrono::microseconds(50 * (n % 5)));
  };
  BatchQueue<Numbered> queue(ring, [&](Numbered& b) {
    if (slowMaker) dawdle(made);
    b.number = made++;
    b.last = b.number + 1 == count;
  });
  for (std::size_t expected = 0;; ++expected) {
    const Numbered& b = queue.next();
    ASSERT_EQ(b.number, expected) << "ring of " << ringSize;
    if (!slowMaker) dawdle(expected);
    if (b.last) break;
  }
}

TEST(BatchQueue, HandsOverEveryBatchOnceAndInOrderWhicheverSideIsSlower) {
  for (std::size_t ring : {1u, 2u, 3u, 8u}) {
    for (std::size_t count : {1u, 2u, 5u, 17u, 200u}) {
      takeAll(ring, count, true);
      takeAll(ring, count, false);
    }
  }
}

TEST(BatchQueue, AnErrorEndsTheMakingAndComesAfterTheBatchesBeforeIt) {
  std::vector<Numbered> ring(8);
  std::size_t made = 0;
  BatchQueue<Numbered> queue(ring, [&](Numbered& b) {
    b.number = made++;
    if (b.number == 11) b.error = std::make_exception_ptr(std::runtime_error("damaged"));
  });
  for (std::size_t expected = 0; expected < 11; ++expected) {
    const Numbered& b = queue.next();
    ASSERT_EQ(b.number, expected);
    ASSERT_FALSE(b.error);
  }
  const Numbered& failed = queue.next();
  EXPECT_EQ(failed.number, 11u);
  EXPECT_TRUE(failed.error);
  EXPECT_EQ(made, 12u);  // nothing made after the error
}

TEST(BatchQueue, StopsAMakerThatWaitsOnAFullRing) {
  std::vector<Numbered> ring(8);
  std::size_t made = 0;
  {
    BatchQueue<Numbered> queue(ring, [&](Numbered& b) { b.number = made++; });
    EXPECT_EQ(queue.next().number, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }  // must not hang
  EXPECT_LE(made, 8u);  // the ring, the batch taken among them, and no more
}

}  // namespace
}  // namespace jet
