#pragma once

#include "visaobject.h"

#include <mutex>
#include <string>
#include <vector>

namespace vdvisa {

// A session to the default resource manager: it remembers what was opened from it, because
// closing it closes those sessions and find lists too.
class ResourceManager : public VisaObject
{
public:
    void adopt(ViObject child);
    void close() override;

private:
    std::mutex lock;
    std::vector<ViObject> children;
};

// The result of one viFindRsrc, walked by viFindNext.
class FindList : public VisaObject
{
public:
    explicit FindList(std::vector<std::string> found) : resources(std::move(found)) {}
    // False when the list is used up.
    bool next(std::string &resource);
    size_t size() const { return resources.size(); }

private:
    std::mutex lock;
    std::vector<std::string> resources;
    size_t position = 0;
};

} // namespace vdvisa
