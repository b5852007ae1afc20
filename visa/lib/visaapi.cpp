// The VISA C API entry points of our library.
#include "visa.h"

#include "faultinjection.h"
#include "instrsession.h"
#include "resourcefinder.h"
#include "resourcemanager.h"

#include <cstdio>
#include <cstring>

using namespace vdvisa;

namespace {
ObjectTable &table()
{
    return ObjectTable::instance();
}

// An operation on an object of type T: the handle must name one, an injected error replaces
// the call, an injected warning follows a successful one.
template <typename T, typename Call>
ViStatus onObject(const char *operation, ViObject vi, Call call)
{
    Injection injected = injectionFor(operation);
    std::shared_ptr<T> object = table().findAs<T>(vi);
    if (!object)
        return VI_ERROR_INV_OBJECT;
    if (injected.replacesCall())
        return injected.status;
    return injected.after(call(*object));
}

// A va_list of our own that the formatter may consume.
struct VaListCopy
{
    explicit VaListCopy(va_list from) { va_copy(list, from); }
    ~VaListCopy() { va_end(list); }
    va_list list;
};

void copyResource(ViChar desc[], const std::string &resource)
{
    if (desc)
        std::snprintf(desc, VI_FIND_BUFLEN, "%s", resource.c_str());
}
} // namespace

extern "C" {

ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi)
{
    Injection injected = injectionFor("viOpenDefaultRM");
    if (!vi)
        return VI_ERROR_USER_BUF;
    *vi = VI_NULL;
    if (injected.replacesCall())
        return injected.status;
    *vi = table().add(std::make_shared<ResourceManager>());
    return injected.after(VI_SUCCESS);
}

ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                             ViChar desc[])
{
    Injection injected = injectionFor("viFindRsrc");
    if (retCnt)
        *retCnt = 0;
    auto manager = table().findAs<ResourceManager>(sesn);
    if (!manager)
        return VI_ERROR_INV_OBJECT;
    if (!expr || !vi)
        return VI_ERROR_USER_BUF;
    if (injected.replacesCall())
        return injected.status;
    std::vector<std::string> found;
    if (!ResourceFinder::find(expr, found))
        return VI_ERROR_INV_EXPR;
    if (found.empty())
        return VI_ERROR_RSRC_NFOUND;
    auto list = std::make_shared<FindList>(found);
    std::string first;
    list->next(first);
    ViObject handle = table().add(list);
    manager->adopt(handle);
    *vi = handle;
    if (retCnt)
        *retCnt = ViUInt32(found.size());
    copyResource(desc, first);
    return injected.after(VI_SUCCESS);
}

ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[])
{
    Injection injected = injectionFor("viFindNext");
    auto list = table().findAs<FindList>(vi);
    if (!list)
        return VI_ERROR_INV_OBJECT;
    if (injected.replacesCall())
        return injected.status;
    std::string next;
    if (!list->next(next))
        return VI_ERROR_RSRC_NFOUND;
    copyResource(desc, next);
    return injected.after(VI_SUCCESS);
}

ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                         ViPSession vi)
{
    Injection injected = injectionFor("viOpen");
    if (vi)
        *vi = VI_NULL;
    auto manager = table().findAs<ResourceManager>(sesn);
    if (!manager)
        return VI_ERROR_INV_OBJECT;
    if (!name || !vi)
        return VI_ERROR_USER_BUF;
    if (mode & ~ViAccessMode(4)) // only VI_NULL/VI_NO_LOCK and VI_LOAD_CONFIG
        return VI_ERROR_INV_ACC_MODE;
    ResourceName resource;
    if (!ResourceName::parse(name, resource))
        return VI_ERROR_INV_RSRC_NAME;
    if (injected.replacesCall())
        return injected.status;
    auto session = std::make_shared<InstrSession>(resource);
    ViStatus status = session->open(timeout == 0 ? 2000 : (long long)timeout);
    if (status != VI_SUCCESS)
        return status;
    ViObject handle = table().add(session);
    manager->adopt(handle);
    *vi = handle;
    return injected.after(VI_SUCCESS);
}

ViStatus _VI_FUNC viClose(ViObject vi)
{
    Injection injected = injectionFor("viClose");
    if (injected.replacesCall())
        return injected.status;
    std::shared_ptr<VisaObject> object = table().take(vi);
    if (!object)
        return VI_ERROR_INV_OBJECT;
    object->close();
    return injected.after(VI_SUCCESS);
}

ViStatus _VI_FUNC viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    return onObject<VisaObject>("viSetAttribute", vi, [&](VisaObject &object) {
        return object.setAttribute(attrName, attrValue);
    });
}

ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue)
{
    return onObject<VisaObject>("viGetAttribute", vi, [&](VisaObject &object) {
        return object.getAttribute(attrName, attrValue);
    });
}

ViStatus _VI_FUNC viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    if (retCnt)
        *retCnt = 0;
    return onObject<InstrSession>(
        "viRead", vi, [&](InstrSession &session) { return session.read(buf, cnt, retCnt); });
}

ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    if (retCnt)
        *retCnt = 0;
    return onObject<InstrSession>(
        "viWrite", vi, [&](InstrSession &session) { return session.write(buf, cnt, retCnt); });
}

ViStatus _VI_FUNC viClear(ViSession vi)
{
    return onObject<InstrSession>("viClear", vi,
                                  [](InstrSession &session) { return session.clear(); });
}

ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask)
{
    return onObject<InstrSession>("viFlush", vi,
                                  [&](InstrSession &session) { return session.flush(mask); });
}

ViStatus _VI_FUNC viVPrintf(ViSession vi, ViConstString writeFmt, va_list params)
{
    return onObject<InstrSession>("viPrintf", vi, [&](InstrSession &session) {
        VaListCopy args(params);
        return session.print(writeFmt, &args.list);
    });
}

ViStatus _VI_FUNCC viPrintf(ViSession vi, ViConstString writeFmt, ...)
{
    va_list args;
    va_start(args, writeFmt);
    ViStatus status = viVPrintf(vi, writeFmt, args);
    va_end(args);
    return status;
}

ViStatus _VI_FUNC viVScanf(ViSession vi, ViConstString readFmt, va_list params)
{
    return onObject<InstrSession>("viScanf", vi, [&](InstrSession &session) {
        VaListCopy args(params);
        return session.scan(readFmt, &args.list);
    });
}

ViStatus _VI_FUNCC viScanf(ViSession vi, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    ViStatus status = viVScanf(vi, readFmt, args);
    va_end(args);
    return status;
}

ViStatus _VI_FUNC viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt,
                            va_list params)
{
    return onObject<InstrSession>("viQueryf", vi, [&](InstrSession &session) {
        VaListCopy args(params);
        return session.query(writeFmt, readFmt, &args.list);
    });
}

ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    ViStatus status = viVQueryf(vi, writeFmt, readFmt, args);
    va_end(args);
    return status;
}

} // extern "C"
