#pragma once

#include <QByteArray>

// How the module uses the AXIe trigger lines: as master or slave on a trigger line (0: none,
// the module triggers immediately) and the line that aborts it (0: none). Lines are 0 to 12.
class TriggerConfiguration
{
public:
    enum class Role
    {
        None,
        Master,
        Slave
    };

    Role role = Role::Master;
    int line = 0;
    int abortLine = 0;

    // Role and line of a "TRIG:CONF:SOUR?" reply: "MASTER,<line>", "SLAVE,<line>" or anything
    // else (such as "IMM"), which means master without a line. Only the first 15 characters
    // count; the line is read like atoi from just after the role and its comma.
    static TriggerConfiguration fromSourceReply(const QByteArray &reply);

    // The module cannot trigger and abort on one line, and a slave needs a line to follow.
    bool acceptable() const;
    // The role as "TRIG:CONF:SOUR" takes it; empty without a role.
    const char *roleText() const;

    static constexpr int maxSourceReply = 15;
};
