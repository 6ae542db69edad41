#pragma once

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
// Should the main thread stop taking items, the queue keeps only the newest `capacity`
// items, so that a flood cannot eat the memory: for the history, whose cap keeps at most
// 500 records, the dropped ones are records that the cap would drop anyway.
template <typename Item>
class HandoffQueue {
public:
    explicit HandoffQueue(std::size_t maximum = 5000) : capacity(maximum) {}

    // Adds an item; true when the queue was empty, so the caller must wake the main thread.
    bool Push(Item item) {
        std::lock_guard lock(mutex);
        items.push_back(std::move(item));
        if (items.size() > capacity) {
            items.pop_front();
            ++dropped;
        }
        return items.size() == 1;
    }

    // Everything pushed so far, oldest first; the queue is empty afterwards.
    std::vector<Item> TakeAll() {
        std::lock_guard lock(mutex);
        std::vector<Item> taken(std::make_move_iterator(items.begin()),
                                std::make_move_iterator(items.end()));
        items.clear();
        return taken;
    }

    // How many items were dropped because the queue was full.
    std::size_t Dropped() {
        std::lock_guard lock(mutex);
        return dropped;
    }

private:
    const std::size_t capacity;
    std::mutex mutex;
    std::deque<Item> items;
    std::size_t dropped = 0;
};
