// crcstamp FILE: writes the checksum record of a linked module math library in place. The eight
// digits after the marker receive the CRC-32 of the whole file computed while they read
// "00000000", the form in which the module panel checks the file. A file without the marker, or
// with it more than once, cannot be checked reliably and fails the build.

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// "ВстроенныйCRC32=" in Windows-1251.
const std::string checksumMarker = "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                                   "CRC32=";
const std::size_t digitCount = 8;

int fail(const char *path, const char *why)
{
    std::fprintf(stderr, "crcstamp: %s: %s\n", path, why);
    return 1;
}

bool readFile(const char *path, std::string &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The record is the marker, the digits and a zero byte; anything else after a marker means it
// is not our record and patching it would corrupt the file.
bool isRecord(const std::string &bytes, std::size_t digits)
{
    if (bytes.size() < digits + digitCount + 1 || bytes[digits + digitCount] != '\0')
        return false;
    return std::all_of(bytes.begin() + digits, bytes.begin() + digits + digitCount,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

unsigned long fileCrc32(const std::string &bytes)
{
    const auto *data = reinterpret_cast<const Bytef *>(bytes.data());
    return crc32_z(crc32_z(0L, Z_NULL, 0), data, bytes.size());
}

bool writeDigits(const char *path, std::size_t offset, const char *digits)
{
    std::FILE *file = std::fopen(path, "r+b");
    if (!file)
        return false;
    bool written = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
                   std::fwrite(digits, 1, digitCount, file) == digitCount;
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: crcstamp FILE\n");
        return 2;
    }
    const char *path = argv[1];
    std::string bytes;
    if (!readFile(path, bytes))
        return fail(path, "cannot read the file");

    const std::size_t marker = bytes.find(checksumMarker);
    if (marker == std::string::npos)
        return fail(path, "checksum marker not found");
    if (bytes.find(checksumMarker, marker + 1) != std::string::npos)
        return fail(path, "checksum marker found more than once");
    const std::size_t digits = marker + checksumMarker.size();
    if (!isRecord(bytes, digits))
        return fail(path, "the checksum marker is not followed by eight digits and a zero byte");

    std::fill_n(bytes.begin() + digits, digitCount, '0');
    char text[digitCount + 1];
    std::snprintf(text, sizeof text, "%08lX", fileCrc32(bytes));
    if (!writeDigits(path, digits, text))
        return fail(path, "cannot write the checksum digits");
    return 0;
}
