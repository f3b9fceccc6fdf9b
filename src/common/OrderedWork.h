#pragma once

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vm {

// Makes items 0 .. count - 1 on several threads and hands each to `consume` on the calling thread
// in index order, so one writer sees exactly what a single thread would have made. At most
// `window` items are made ahead of the writer, so memory does not grow with the count.
//
// Each thread first builds its own `State` with `makeState` (a database connection, say, which
// must live on the thread that uses it); `make(state, index)` then makes one item. `consume`
// returns false to stop the run early. With one thread everything runs on the calling thread.
template <class State, class Item> class OrderedWork {
public:
    std::function<std::unique_ptr<State>()> makeState;
    std::function<Item(State&, int index)> make;
    std::function<bool(int index, Item&& item)> consume;

    // False when `consume` stopped the run.
    bool run(int count, int threads, int window)
    {
        if (count <= 0)
            return true;
        threads = std::clamp(threads, 1, std::max(1, count));
        if (threads == 1)
            return runHere(count);
        m_window = std::max(window, threads);
        m_next = 0;
        m_consumed = 0;
        m_stop = false;
        m_ready.clear();

        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([this, count] { work(count); }));
            workers.back()->start();
        }
        bool completed = true;
        for (int index = 0; index < count; ++index) {
            std::optional<Item> item;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_ready.count(index) > 0; });
                item.emplace(std::move(m_ready.at(index)));
                m_ready.erase(index);
                m_consumed = index + 1;
            }
            m_changed.notify_all();
            if (!consume(index, std::move(*item))) {
                completed = false;
                break;
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (auto& worker : workers)
            worker->wait();
        m_ready.clear();
        return completed;
    }

private:
    bool runHere(int count)
    {
        const std::unique_ptr<State> state = makeState();
        for (int index = 0; index < count; ++index) {
            if (!consume(index, make(*state, index)))
                return false;
        }
        return true;
    }

    void work(int count)
    {
        const std::unique_ptr<State> state = makeState();
        while (true) {
            int index = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stop || m_next < m_consumed + m_window; });
                if (m_stop || m_next >= count)
                    return;
                index = m_next++;
            }
            Item item = make(*state, index);
            {
                std::lock_guard lock(m_mutex);
                m_ready.emplace(index, std::move(item));
            }
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, Item> m_ready;
    int m_next = 0;
    int m_consumed = 0;
    int m_window = 1;
    bool m_stop = false;
};

} // namespace vm
