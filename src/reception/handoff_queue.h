#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

// Hands items from a worker thread to the main thread. The worker pushes; only the push
// that finds the queue empty asks the main thread to wake up (one posted message), and
// the main thread then takes everything that has arrived. A flood of items thus never
// fills the window's message queue, and the worker never waits for the main thread.
//
// Should the main thread stop taking items, the queue keeps at most `capacity` items, so
// that a flood cannot eat the memory: it drops the oldest item that `mayDrop` allows (any
// item when none is given) and counts it, so that the taker knows how many came before
// what it takes. Items that may not be dropped are always kept.
template <typename Item>
class HandoffQueue {
public:
    using DropRule = bool (*)(const Item&);

    explicit HandoffQueue(std::size_t maximum = 5000, DropRule dropRule = nullptr)
        : capacity(maximum), mayDrop(dropRule) {}

    // Adds an item; true when the queue was empty, so the caller must wake the main thread.
    bool Push(Item item) {
        std::lock_guard lock(mutex);
        items.push_back(std::move(item));
        if (items.size() > capacity) DropOldest();
        return items.size() == 1;
    }

    // Everything pushed so far, oldest first; the queue is empty afterwards. With
    // `droppedBefore`, also how many items were dropped since the last take: all of them
    // came before the droppable items taken now.
    std::vector<Item> TakeAll(std::size_t* droppedBefore = nullptr) {
        std::lock_guard lock(mutex);
        std::vector<Item> taken(std::make_move_iterator(items.begin()),
                                std::make_move_iterator(items.end()));
        items.clear();
        if (droppedBefore) *droppedBefore = dropped - droppedAtLastTake;
        droppedAtLastTake = dropped;
        return taken;
    }

    // How many items were dropped because the queue was full.
    std::size_t Dropped() {
        std::lock_guard lock(mutex);
        return dropped;
    }

private:
    void DropOldest() {
        auto victim = mayDrop ? std::find_if(items.begin(), items.end(), mayDrop) : items.begin();
        if (victim == items.end()) return;
        items.erase(victim);
        ++dropped;
    }

    const std::size_t capacity;
    const DropRule mayDrop;
    std::mutex mutex;
    std::deque<Item> items;
    std::size_t dropped = 0;
    std::size_t droppedAtLastTake = 0;
};
