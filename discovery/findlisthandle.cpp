#include "findlisthandle.h"

FindListHandle::~FindListHandle()
{
    close();
}

ViStatus FindListHandle::find(ViSession resourceManager, ViConstString expression,
                              ViChar descriptor[])
{
    // The search may wait for broadcast answers; a cancel must not wait for it.
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    const ViStatus status = viFindRsrc(resourceManager, expression, &list, &count, descriptor);
    if (status != VI_SUCCESS)
        return status;
    std::lock_guard<std::mutex> guard(lock);
    if (closed) {
        viClose(list);
        return VI_ERROR_INV_OBJECT;
    }
    handle = list;
    return status;
}

ViStatus FindListHandle::next(ViChar descriptor[])
{
    std::lock_guard<std::mutex> guard(lock);
    if (handle == VI_NULL)
        return VI_ERROR_INV_OBJECT;
    return viFindNext(handle, descriptor);
}

void FindListHandle::close()
{
    std::lock_guard<std::mutex> guard(lock);
    closed = true;
    if (handle != VI_NULL)
        viClose(handle);
    handle = VI_NULL;
}
