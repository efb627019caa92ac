#include "foundation/critical_section.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(CriticalSectionTest, ExcludesOtherThreadsAndLetsTheOwnerEnterAgain) {
  CriticalSection section;
  long counter = 0;  // deliberately not atomic: only the lock protects it
  auto work = [&] {
    for (int i = 0; i < 5000; ++i) {
      CriticalSectionLock outer(section);
      CriticalSectionLock inner(section);  // the owner may enter again
      long seen = counter;
      std::this_thread::yield();
      counter = seen + 1;
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back(work);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 3 * 5000);
}

}  // namespace
