#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace caleserver {

class Storage;

// A fixed set of threads that run the calls' storage work. Each keeps its own database
// connection (and its prepared statements) for its whole life and closes it on the thread that
// opened it.
class WorkerPool
{
public:
    // A piece of work, given the worker's storage: empty until the job opens it.
    using Job = std::function<void(std::unique_ptr<Storage> &storage)>;

    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // Runs the jobs already queued, then joins every worker; later jobs are dropped.
    void shutdown();
    void submit(Job job);

private:
    void work();

    std::vector<std::thread> m_threads;
    std::deque<Job> m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

} // namespace caleserver
