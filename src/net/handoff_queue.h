#pragma once

#include <mutex>
#include <utility>
#include <vector>

// Hands items from a worker thread to the main thread. The worker pushes; only the push
// that finds the queue empty asks the main thread to wake up (one posted message), and
// the main thread then takes everything that has arrived. A flood of items thus never
// fills the window's message queue, and the worker never waits for the main thread.
template <typename Item>
class HandoffQueue {
public:
    // Adds an item; true when the queue was empty, so the caller must wake the main thread.
    bool Push(Item item) {
        std::lock_guard lock(mutex);
        items.push_back(std::move(item));
        return items.size() == 1;
    }

    // Everything pushed so far, oldest first; the queue is empty afterwards.
    std::vector<Item> TakeAll() {
        std::vector<Item> taken;
        std::lock_guard lock(mutex);
        taken.swap(items);
        return taken;
    }

private:
    std::mutex mutex;
    std::vector<Item> items;
};
