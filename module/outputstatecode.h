#pragma once

#include <QString>

// The module's output state, as "OUTP? STATE" and "OUTP?" report it: the text the panel shows
// and what the state means for the output and clear-faults buttons.
class OutputStateCode
{
public:
    enum class Category
    {
        None,  // a negative code: no button follows it
        Off,   // output switched off
        On,    // output on, regulating or not
        Fault, // a latched protection or abnormal state the operator may clear
    };

    static QString text(int code);
    static Category category(int code);
};
