#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <QTimer>

#include <optional>
#include <type_traits>

/**
 * Runs `task` to completion in a local event loop and returns its result. A task that does not
 * finish within `timeoutMs` aborts the test process: a hang becomes a clear failure instead of
 * CTest's time-out, and the coroutine never resumes into a dead stack frame.
 */
template <typename T> T awaitTask(QCoro::Task<T> task, int timeoutMs = 30000)
{
    QEventLoop loop;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    auto run = [&]() -> QCoro::Task<> {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            result.emplace(true);
        } else {
            result.emplace(co_await std::move(task));
        }
        loop.quit();
    };
    auto running = run();
    if (!result) {
        QTimer::singleShot(timeoutMs, &loop, [] { qFatal("awaitTask: the task did not finish in time"); });
        loop.exec();
    }
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}
