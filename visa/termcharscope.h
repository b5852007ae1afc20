#pragma once

#include <visa.h>

// Binary transfers must not stop at a data byte that happens to equal the termination
// character: the character is switched off for the transfer and on again afterwards
// (always on, not back to an earlier value).
class TermCharScope
{
public:
    explicit TermCharScope(ViSession session) : vi(session)
    {
        viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE);
    }
    ~TermCharScope() { viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE); }
    TermCharScope(const TermCharScope &) = delete;
    TermCharScope &operator=(const TermCharScope &) = delete;

private:
    ViSession vi;
};
