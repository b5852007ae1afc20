#include "filepermissionsenforced.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The capabilities that let a process pass over the owner, group and other permission bits.
constexpr int overrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

bool capabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

FilePermissionsEnforced::FilePermissionsEnforced()
{
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data, false))
        return;
    savedEffective[0] = data[0].effective;
    savedEffective[1] = data[1].effective;
    for (int capability : overrides)
        data[capability / 32].effective &= ~(1u << (capability % 32));
    dropped = capabilities(data, true);
}

FilePermissionsEnforced::~FilePermissionsEnforced()
{
    if (!dropped)
        return;
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data, false))
        return;
    data[0].effective = savedEffective[0];
    data[1].effective = savedEffective[1];
    capabilities(data, true);
}
