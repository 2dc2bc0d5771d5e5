#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A few threads started once that help the calling thread through one job at a time and
// are idle in between. The job's parts run concurrently only inside run: it returns once
// every part has finished, so nothing else of the program shares its data with them.
class WorkPool {
public:
    // Starts helpers threads (fewer when the system refuses some); they block every
    // signal, so that signals keep going to the program's own threads.
    explicit WorkPool(int helpers);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    int helpers() const { return static_cast<int>(threads_.size()); }

    // Calls work(part) once for every part in [0, parts), on the calling thread and the
    // helpers, and returns when all have returned; the first exception a part throws is
    // thrown here afterwards. A call made while the pool is busy (from a part, or from
    // another thread) runs all its parts on its own thread.
    void run(int parts, const std::function<void(int part)>& work);

private:
    struct Job;
    void serve();
    static void takeParts(Job& job);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    Job* job_ = nullptr;
    std::uint64_t jobNumber_ = 0;
    bool stopping_ = false;
    std::mutex busy_;
    std::vector<std::thread> threads_;
};

// The pool shared by the renderers, started on first use with one helper per hardware
// thread beyond the first.
WorkPool& renderPool();

// Runs work(begin, end) over [0, count) in parts contiguous ranges on the shared pool;
// parts 0 means a few per hardware thread. Ranges are the same for the same count and parts.
void splitRows(std::int32_t count, int parts, const std::function<void(std::int32_t begin, std::int32_t end)>& work);
