#include "outputstatecode.h"

namespace {
struct Entry
{
    int code;
    const char *text;
    OutputStateCode::Category category;
};

using Category = OutputStateCode::Category;

const Entry states[] = {
    {0, "OFF", Category::Off},         {1, "CV", Category::On},
    {2, "CC", Category::On},           {3, "UNKNOWN", Category::Fault},
    {4, "WTG", Category::Fault},       {5, "OV", Category::Fault},
    {6, "OC", Category::Fault},        {7, "PF", Category::Fault},
    {8, "CP PLUS", Category::Fault},   {9, "OT", Category::Fault},
    {10, "CP MINUS", Category::Fault}, {11, "INH", Category::Fault},
    {12, "UNREG", Category::On},       {13, "PROT", Category::Fault},
};

// Codes the module may add in later firmware are faults until the panel knows them.
const Entry unknownFault = {-1, "UNKNOWN", Category::Fault};
const Entry unknownNegative = {-1, "UNKNOWN", Category::None};

const Entry &entry(int code)
{
    if (code < 0)
        return unknownNegative;
    for (const Entry &state : states)
        if (state.code == code)
            return state;
    return unknownFault;
}
} // namespace

QString OutputStateCode::text(int code)
{
    return QString::fromLatin1(entry(code).text);
}

OutputStateCode::Category OutputStateCode::category(int code)
{
    return entry(code).category;
}
