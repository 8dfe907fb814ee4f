#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace chronavel {

// A call the system gives no way to interrupt (a host name's lookup), made on
// a thread of its own: an owner that stops waiting abandons it, and the
// thread ends alone, keeping only what it shares with this object.
template <typename Result>
class DetachedCall {
public:
    // finished, if given, runs on the call's thread once the result is in,
    // unless the call was abandoned first. Throws std::system_error when no
    // thread can start.
    static std::shared_ptr<DetachedCall> Start(std::function<Result()> call, std::function<void()> finished = {})
    {
        std::shared_ptr<DetachedCall> shared(new DetachedCall(std::move(finished)));
        std::thread([shared, call = std::move(call)] { shared->Finish(call()); }).detach();
        return shared;
    }

    // The result, once it is in, waiting for it at most timeout.
    std::optional<Result> Take(std::chrono::milliseconds timeout = {})
    {
        std::unique_lock lock(m_mutex);
        m_ended.wait_for(lock, timeout, [this] { return m_result.has_value(); });
        std::optional<Result> taken = std::move(m_result);
        m_result.reset();
        return taken;
    }

    void Abandon()
    {
        const std::lock_guard lock(m_mutex);
        m_finished = nullptr;
    }

private:
    explicit DetachedCall(std::function<void()> finished) : m_finished(std::move(finished)) {}

    void Finish(Result result)
    {
        const std::lock_guard lock(m_mutex);
        m_result = std::move(result);
        m_ended.notify_all();
        if (m_finished) {
            m_finished();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<Result> m_result;
    std::function<void()> m_finished;
};

} // namespace chronavel
