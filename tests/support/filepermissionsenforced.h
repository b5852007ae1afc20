#pragma once

#include <cstdint>

// Holds the calling thread to file permissions as an ordinary user is held. The tests run as
// root of their user namespace, which may read and write any file it owns whatever its mode;
// while this object lives the thread has given up the capabilities that allow that, and takes
// them back when it goes. Other threads are not affected.
class FilePermissionsEnforced
{
public:
    FilePermissionsEnforced();
    ~FilePermissionsEnforced();
    FilePermissionsEnforced(const FilePermissionsEnforced &) = delete;
    FilePermissionsEnforced &operator=(const FilePermissionsEnforced &) = delete;

    // False when the capabilities could not be read or dropped.
    bool active() const { return dropped; }

private:
    std::uint32_t savedEffective[2] = {0, 0};
    bool dropped = false;
};
