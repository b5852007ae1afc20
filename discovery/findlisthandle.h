#pragma once

#include <visa.h>

#include <mutex>

// The find list of one refresh, shared between the probe task that enumerates it and the
// GUI thread that closes it. Closing the list is how an operator's cancel stops the
// enumeration, so each refresh has its own instance, held by the task as well: it outlives
// a refresh slot that returned on cancel, and a later refresh never closes the list of an
// abandoned task.
class FindListHandle
{
public:
    FindListHandle() = default;
    FindListHandle(const FindListHandle &) = delete;
    FindListHandle &operator=(const FindListHandle &) = delete;
    ~FindListHandle();

    // Worker: starts the search and keeps the list. If the list was closed before the search
    // returned, the new list is closed at once and the search counts as failed.
    ViStatus find(ViSession resourceManager, ViConstString expression, ViChar descriptor[]);
    // Worker: the next descriptor of the list; fails once the list is closed or exhausted.
    ViStatus next(ViChar descriptor[]);
    // GUI thread: closes the list if the search created one, and any list created later.
    void close();

private:
    std::mutex lock;
    ViFindList handle = VI_NULL;
    bool closed = false;
};
