#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "programming/state.h"

namespace qzs {
namespace {

bool TryLockFromAnotherThread(ApplicationLock& lock) {
    bool taken = false;
    std::thread other([&] {
        taken = lock.try_lock();
        if (taken) lock.unlock();
    });
    other.join();
    return taken;
}

TEST(ApplicationLock, IsRecursiveAndExcludesOtherThreads) {
    auto state = std::make_unique<ProgrammingState>();
    {
        ApplicationLock::Guard outer(state->lock);
        {
            // An entry that calls another entry takes the lock again on the same thread.
            ApplicationLock::Guard inner(state->lock);
            EXPECT_FALSE(TryLockFromAnotherThread(state->lock));
        }
        EXPECT_FALSE(TryLockFromAnotherThread(state->lock));
    }
    EXPECT_TRUE(TryLockFromAnotherThread(state->lock));
}

TEST(ProgrammingState, EachStateIsItsOwn) {
    auto a = std::make_unique<ProgrammingState>();
    auto b = std::make_unique<ProgrammingState>();
    a->image.Block(3)[21] = 0x10;
    a->terminals[0].line.Append('*');
    a->image.first_pointer_area[0] = 0x24;
    EXPECT_EQ(b->image.Block(3)[21], 0);
    EXPECT_EQ(b->terminals[0].line.Cursor(), 0);
    EXPECT_EQ(b->image.first_pointer_area[0], 0);
    EXPECT_EQ(a->current_command.FirstFieldPosition(), 4);
    a->current_command.four_digit = 1;
    EXPECT_EQ(a->current_command.FirstFieldPosition(), 5);
}

}  // namespace
}  // namespace qzs
