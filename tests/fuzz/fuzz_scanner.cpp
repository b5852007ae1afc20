// viScanf formats against device replies: the input is the format, a NUL, then the reply.
// Every variable the scanner asks for is a heap block of exactly its type's size; a character
// array is as long as the "#" size given before it or, without one, the reply plus its NUL
// (nothing a conversion stores can be longer), so AddressSanitizer sees any write past it.
#include "scanner.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {
class ReplySource : public vdvisa::MessageSource
{
public:
    explicit ReplySource(const std::string &reply) : text(reply) {}
    int peek() override { return at < text.size() ? (unsigned char)text[at] : -1; }
    void advance() override
    {
        if (at < text.size())
            ++at;
    }
    ViStatus error() const override { return VI_SUCCESS; }

private:
    const std::string &text;
    size_t at = 0;
};

class FuzzTargets : public vdvisa::ScanArguments
{
public:
    explicit FuzzTargets(size_t replySize) : longest(replySize + 1) {}
    void *next(Target target) override
    {
        size_t bytes = 0;
        switch (target) {
        case Target::Int16:
            bytes = 2;
            break;
        case Target::Int32:
        case Target::Float:
            bytes = 4;
            break;
        case Target::Int64:
        case Target::Double:
            bytes = 8;
            break;
        case Target::LongDouble:
            bytes = sizeof(long double);
            break;
        case Target::ArraySize: {
            auto *size = static_cast<int32_t *>(allocate(sizeof(int32_t)));
            *size = int32_t(blocks.size() % 7) - 1; // -1 to 5, small on purpose
            pendingSize = *size;
            return size;
        }
        case Target::Chars:
            bytes = pendingSize >= 0 ? size_t(std::max(pendingSize, 1)) : longest;
            pendingSize = -1;
            break;
        }
        return allocate(bytes);
    }

private:
    void *allocate(size_t bytes)
    {
        blocks.emplace_back(new char[bytes]);
        return blocks.back().get();
    }
    size_t longest;
    int32_t pendingSize = -1;
    std::vector<std::unique_ptr<char[]>> blocks;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t split = input.find('\0');
    if (split == std::string::npos)
        return 0;
    const std::string format = input.substr(0, split);
    const std::string reply = input.substr(split + 1);
    ReplySource source(reply);
    FuzzTargets targets(reply.size());
    vdvisa::scanMessage(source, format.c_str(), targets);
    return 0;
}
