#include "defaultresourcemanager.h"

#include <atomic>

namespace {
std::atomic<ViSession> manager{VI_NULL};
}

ViSession defaultResourceManager()
{
    return manager.load();
}

void setDefaultResourceManager(ViSession session)
{
    manager.store(session);
}
