#include "resourcemanager.h"

namespace vdvisa {

void ResourceManager::adopt(ViObject child)
{
    std::lock_guard<std::mutex> guard(lock);
    children.push_back(child);
}

void ResourceManager::close()
{
    std::vector<ViObject> owned;
    {
        std::lock_guard<std::mutex> guard(lock);
        owned.swap(children);
    }
    for (ViObject child : owned)
        if (std::shared_ptr<VisaObject> object = ObjectTable::instance().take(child))
            object->close();
}

bool FindList::next(std::string &resource)
{
    std::lock_guard<std::mutex> guard(lock);
    if (position >= resources.size())
        return false;
    resource = resources[position++];
    return true;
}

} // namespace vdvisa
