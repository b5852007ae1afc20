#include "visaobject.h"

namespace vdvisa {

ObjectTable &ObjectTable::instance()
{
    static ObjectTable table;
    return table;
}

ViObject ObjectTable::add(std::shared_ptr<VisaObject> object)
{
    std::lock_guard<std::mutex> guard(lock);
    ViObject handle = nextHandle++;
    if (nextHandle == 0)
        nextHandle = 0x1001;
    objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<VisaObject> ObjectTable::find(ViObject handle)
{
    std::lock_guard<std::mutex> guard(lock);
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : it->second;
}

std::shared_ptr<VisaObject> ObjectTable::take(ViObject handle)
{
    std::lock_guard<std::mutex> guard(lock);
    auto it = objects.find(handle);
    if (it == objects.end())
        return nullptr;
    std::shared_ptr<VisaObject> object = std::move(it->second);
    objects.erase(it);
    return object;
}

} // namespace vdvisa
