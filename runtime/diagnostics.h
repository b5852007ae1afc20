#pragma once

// The programs' diagnostics (session paths, window teardown, the firmware writer's log) are
// debug messages of Qt's "default" logging category. They are meant for the developer, not
// for the operator's terminal: a program hides them unless VOLTADESK_DEBUG=1 is set, or the
// category is switched on the usual way, e.g. QT_LOGGING_RULES="default.debug=true".
class Diagnostics
{
public:
    // Call at the start of main, before the first message.
    static void apply();
};
