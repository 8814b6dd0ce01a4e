#pragma once

#include "common/file_system.h"

#include <cerrno>
#include <functional>
#include <memory>

// A failing disk for one call at a time: the n-th rename or removal the
// program makes through FileSystem fails with an I/O error, as a flaky disk or
// a file held open by another program gives it.
class InjectedFault
{
public:
    explicit InjectedFault(int failAt, int error = EIO)
        : state_(std::make_shared<State>())
    {
        state_->failAt = failAt;
        FileSystem::setFaultHook(
            [state = state_, error](FileSystem::Operation operation, const QString &) {
                if (operation != FileSystem::Operation::Rename
                    && operation != FileSystem::Operation::Remove)
                    return 0;
                return ++state->calls == state->failAt ? error : 0;
            });
    }
    ~InjectedFault() { FileSystem::setFaultHook({}); }
    InjectedFault(const InjectedFault &) = delete;
    InjectedFault &operator=(const InjectedFault &) = delete;

    bool fired() const { return state_->calls >= state_->failAt; }

private:
    struct State
    {
        int failAt = 0;
        int calls = 0;
    };
    std::shared_ptr<State> state_;
};

// Calls `round(failAt)` for failAt = 1, 2, ... until a round reports that
// its fault never fired (the operation made fewer calls). Returns the number
// of rounds that met a failure.
inline int forEachFaultPoint(const std::function<bool(int failAt)> &round)
{
    int failAt = 1;
    while (failAt < 500 && round(failAt))
        ++failAt;
    return failAt - 1;
}
