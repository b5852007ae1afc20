#pragma once

#include <cstdarg>
#include <cstddef>

namespace vdvisa {

// Where viPrintf takes the values of its conversions from. The formatter asks for exactly the
// type the conversion names, one argument after the other.
class PrintArguments
{
public:
    virtual ~PrintArguments() = default;
    virtual int nextInt() = 0;
    virtual long nextLong() = 0;
    virtual long long nextLongLong() = 0;
    virtual double nextDouble() = 0;
    virtual long double nextLongDouble() = 0;
    virtual const char *nextString() = 0;
};

// Where viScanf stores what it converts: the next argument, a pointer to the type named.
class ScanArguments
{
public:
    enum class Target
    {
        Int16,
        Int32,
        Int64,
        Float,
        Double,
        LongDouble,
        Chars,     // a character array
        ArraySize, // the ViInt32 that "#" puts before a character array
    };
    virtual ~ScanArguments() = default;
    virtual void *next(Target target) = 0;
};

// The caller's variable arguments. viQueryf formats from and scans into one list, so both
// sides take from the same va_list, in order.
class VaListArguments : public PrintArguments, public ScanArguments
{
public:
    explicit VaListArguments(va_list *list) : args(list) {}
    int nextInt() override { return va_arg(*args, int); }
    long nextLong() override { return va_arg(*args, long); }
    long long nextLongLong() override { return va_arg(*args, long long); }
    double nextDouble() override { return va_arg(*args, double); }
    long double nextLongDouble() override { return va_arg(*args, long double); }
    const char *nextString() override { return va_arg(*args, const char *); }
    void *next(Target) override { return va_arg(*args, void *); }

private:
    va_list *args;
};

} // namespace vdvisa
