#pragma once

#include "visa.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vdvisa {

// Anything a VISA handle can refer to: a resource-manager session, a find list or an
// instrument session.
class VisaObject
{
public:
    virtual ~VisaObject() = default;
    // Releases what the object holds; called once, when its handle is closed.
    virtual void close() {}
    virtual ViStatus setAttribute(ViAttr, ViAttrState) { return VI_ERROR_NSUP_ATTR; }
    virtual ViStatus getAttribute(ViAttr, void *) { return VI_ERROR_NSUP_ATTR; }
};

// Handles are never reused, so a stale handle gives VI_ERROR_INV_OBJECT rather than
// reaching an object that took its place. Objects live on while an operation holds them.
class ObjectTable
{
public:
    static ObjectTable &instance();

    ViObject add(std::shared_ptr<VisaObject> object);
    std::shared_ptr<VisaObject> find(ViObject handle);
    std::shared_ptr<VisaObject> take(ViObject handle);

    template <typename T> std::shared_ptr<T> findAs(ViObject handle)
    {
        return std::dynamic_pointer_cast<T>(find(handle));
    }

private:
    std::mutex lock;
    ViObject nextHandle = 0x1001;
    std::unordered_map<ViObject, std::shared_ptr<VisaObject>> objects;
};

} // namespace vdvisa
