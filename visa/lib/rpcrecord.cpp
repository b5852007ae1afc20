#include "rpcrecord.h"

#include <algorithm>
#include <cstdint>

namespace vdvisa {

bool RecordAssembler::feed(const char *data, size_t size)
{
    while (size > 0 && !failed) {
        if (fragmentLeft == 0 && markBytes < 4) {
            const size_t take = std::min(size, 4 - markBytes);
            std::copy(data, data + take, mark + markBytes);
            markBytes += take;
            data += take;
            size -= take;
            if (markBytes < 4)
                break;
            const uint32_t word = uint32_t((unsigned char)mark[0]) << 24 |
                                  uint32_t((unsigned char)mark[1]) << 16 |
                                  uint32_t((unsigned char)mark[2]) << 8 |
                                  uint32_t((unsigned char)mark[3]);
            lastFragment = (word & 0x80000000u) != 0;
            fragmentLeft = word & 0x7fffffffu;
            currentWire += 4;
            if (currentWire > cap || fragmentLeft > cap - currentWire) {
                failed = true;
                break;
            }
            currentWire += fragmentLeft;
        }
        const size_t take = std::min(size, fragmentLeft);
        current.append(data, take);
        data += take;
        size -= take;
        fragmentLeft -= take;
        if (fragmentLeft == 0) {
            markBytes = 0;
            if (lastFragment) {
                complete.push_back(std::move(current));
                current.clear();
                currentWire = 0;
                lastFragment = false;
            }
        }
    }
    return !failed;
}

bool RecordAssembler::next(std::string &record)
{
    if (complete.empty())
        return false;
    record.swap(complete.front());
    complete.pop_front();
    return true;
}

void RecordAssembler::reset()
{
    complete.clear();
    current.clear();
    currentWire = 0;
    markBytes = 0;
    fragmentLeft = 0;
    lastFragment = false;
    failed = false;
}

} // namespace vdvisa
