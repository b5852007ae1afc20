// viPrintf formats: the input is the format, a NUL, then the bytes the arguments are made of.
// Every argument the formatter asks for is served in the type it names.
#include "formatter.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

namespace {
class FuzzArguments : public vdvisa::PrintArguments
{
public:
    FuzzArguments(const uint8_t *data, size_t size) : bytes(data), left(size) {}
    int nextInt() override { return take<int>(); }
    long nextLong() override { return take<long>(); }
    long long nextLongLong() override { return take<long long>(); }
    double nextDouble() override { return take<double>(); }
    long double nextLongDouble() override { return (long double)take<double>(); }
    const char *nextString() override
    {
        const size_t length = std::min<size_t>(take<uint8_t>(), left);
        strings.emplace_back(reinterpret_cast<const char *>(bytes), length);
        bytes += length;
        left -= length;
        return strings.back().c_str();
    }

private:
    template <typename T> T take()
    {
        T value{};
        const size_t n = std::min(sizeof value, left);
        std::memcpy(&value, bytes, n);
        bytes += n;
        left -= n;
        return value;
    }
    const uint8_t *bytes;
    size_t left;
    std::deque<std::string> strings;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t split = input.find('\0');
    const std::string format = input.substr(0, split);
    const size_t rest = split == std::string::npos ? size : split + 1;
    FuzzArguments arguments(data + rest, size - rest);
    vdvisa::FormattedText out;
    vdvisa::formatMessage(format.c_str(), arguments, out);
    return 0;
}
