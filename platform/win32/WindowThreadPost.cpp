#include "platform/win32/WindowThreadPost.h"

#include "platform/win32/MessageWindow.h"

#include <memory>

namespace chronavel {
namespace {

using Task = std::function<void()>;

// The task a message carries, now the caller's; none in a stray message.
std::unique_ptr<Task> TaskOf(LPARAM lParam)
{
    return std::unique_ptr<Task>(reinterpret_cast<Task*>(lParam));
}

} // namespace

WindowThreadPost::WindowThreadPost()
    : m_window(CreateMessageWindow(WindowClassName, &WindowThreadPost::WindowProc, nullptr))
{
}

WindowThreadPost::~WindowThreadPost()
{
    MSG queued;
    while (PeekMessageW(&queued, m_window.get(), TaskMessage, TaskMessage, PM_REMOVE)) {
        TaskOf(queued.lParam);
    }
}

std::function<void(std::function<void()>)> WindowThreadPost::Poster() const
{
    return [window = m_window.get()](Task task) {
        auto owned = std::make_unique<Task>(std::move(task));
        // Should the queue be full, the task is lost, and its owner's wait
        // runs out as if nothing had come.
        if (PostMessageW(window, TaskMessage, 0, reinterpret_cast<LPARAM>(owned.get()))) {
            owned.release();
        }
    };
}

LRESULT CALLBACK WindowThreadPost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != TaskMessage) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (const std::unique_ptr<Task> task = TaskOf(lParam)) {
        (*task)();
    }
    return 0;
}

} // namespace chronavel
