#include "reception/handoff_queue.h"

#include <gtest/gtest.h>

#include <thread>

TEST(HandoffQueue, OnlyThePushIntoAnEmptyQueueWakesTheMainThread) {
    HandoffQueue<int> queue;
    EXPECT_TRUE(queue.Push(1));
    EXPECT_FALSE(queue.Push(2));
    EXPECT_EQ(queue.TakeAll(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(queue.TakeAll().empty());
    EXPECT_TRUE(queue.Push(3));
}

TEST(HandoffQueue, NothingIsLostBetweenThreads) {
    constexpr int kItems = 20000;
    HandoffQueue<int> queue(kItems);
    int wakeUps = 0;
    std::vector<int> received;
    std::thread worker([&] {
        for (int i = 0; i < kItems; ++i)
            wakeUps += queue.Push(i);
    });
    while (received.size() < kItems) {
        for (int item : queue.TakeAll())
            received.push_back(item);
        std::this_thread::yield();
    }
    worker.join();
    for (int i = 0; i < kItems; ++i)
        ASSERT_EQ(received[i], i);
    EXPECT_GE(wakeUps, 1);
    EXPECT_LE(wakeUps, kItems);
}

TEST(HandoffQueue, KeepsOnlyTheNewestItemsWhenNobodyTakesThem) {
    HandoffQueue<int> queue(3);
    for (int i = 1; i <= 5; ++i)
        queue.Push(i);
    EXPECT_EQ(queue.TakeAll(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(queue.Dropped(), 2u);
}

TEST(HandoffQueue, AFullQueueDropsOnlyWhatItMayAndCountsItForTheTaker) {
    // Negative items stand for status texts, which must never be dropped.
    HandoffQueue<int> queue(3, [](const int& item) { return item >= 0; });
    queue.Push(-1);
    for (int i = 1; i <= 5; ++i)
        queue.Push(i);
    std::size_t dropped = 0;
    EXPECT_EQ(queue.TakeAll(&dropped), (std::vector<int>{-1, 4, 5}));
    EXPECT_EQ(dropped, 3u);
    queue.Push(6);
    EXPECT_EQ(queue.TakeAll(&dropped), (std::vector<int>{6}));
    EXPECT_EQ(dropped, 0u);  // counted once
    // Nothing droppable: the queue keeps it all rather than lose a status.
    for (int i = 0; i < 5; ++i)
        queue.Push(-2);
    EXPECT_EQ(queue.TakeAll().size(), 5u);
}
