#include "platform/work_pool.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>

struct WorkPool::Job {
    Job(const std::function<void(int)>& w, int n) : work(&w), parts(n) {}
    const std::function<void(int)>* work;
    int parts;
    std::atomic<int> next{0};
    int active = 0;  // threads inside takeParts, guarded by the pool's mutex
    std::exception_ptr error;
    std::mutex errorMutex;
};

WorkPool::WorkPool(int helpers) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        for (int i = 0; i < helpers; ++i) threads_.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
        // No more threads: the ones started do the work.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

WorkPool::~WorkPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void WorkPool::takeParts(Job& job) {
    for (int part = job.next.fetch_add(1); part < job.parts; part = job.next.fetch_add(1)) {
        try {
            (*job.work)(part);
        } catch (...) {
            std::lock_guard lock(job.errorMutex);
            if (!job.error) job.error = std::current_exception();
        }
    }
}

void WorkPool::serve() {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (job_ != nullptr && jobNumber_ != seen); });
        if (stopping_) return;
        seen = jobNumber_;
        Job& job = *job_;
        ++job.active;
        lock.unlock();
        takeParts(job);
        lock.lock();
        if (--job.active == 0) finished_.notify_all();
    }
}

void WorkPool::run(int parts, const std::function<void(int)>& work) {
    if (parts <= 0) return;
    std::unique_lock busy(busy_, std::try_to_lock);
    if (!busy.owns_lock() || parts == 1 || threads_.empty()) {
        for (int part = 0; part < parts; ++part) work(part);
        return;
    }
    Job job(work, parts);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        ++jobNumber_;
        job.active = 1;
    }
    wake_.notify_all();
    takeParts(job);
    {
        // The job lives on this stack: no helper may still be inside it on return.
        std::unique_lock lock(mutex_);
        --job.active;
        finished_.wait(lock, [&] { return job.active == 0; });
        job_ = nullptr;
    }
    if (job.error) std::rethrow_exception(job.error);
}

WorkPool& renderPool() {
    static WorkPool pool(static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u)) - 1);
    return pool;
}

void splitRows(std::int32_t count, int parts, const std::function<void(std::int32_t, std::int32_t)>& work) {
    if (count <= 0) return;
    WorkPool& pool = renderPool();
    // Several ranges a thread: a thread the system runs late leaves its share to the others.
    if (parts <= 0) parts = 4 * (pool.helpers() + 1);
    const std::int64_t n = std::clamp<std::int64_t>(parts, 1, count);
    const auto begin = [&](std::int64_t part) { return static_cast<std::int32_t>(count * part / n); };
    pool.run(static_cast<int>(n), [&](int part) { work(begin(part), begin(part + 1)); });
}
