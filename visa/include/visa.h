/*
 * The part of the public VISA C API that voltaDesk uses, implemented by our VISA library
 * over VXI-11 (TCP/IP INSTR resources). Names, types, attribute and status values are
 * those of the public API, so the program builds unchanged against a vendor's VISA.
 */
#ifndef VDVISA_VISA_H
#define VDVISA_VISA_H

#include <stdarg.h>

#include "visatype.h"

#if defined(VDVISA_BUILDING) && defined(_WIN32)
#define VDVISA_API __declspec(dllexport)
#elif defined(VDVISA_BUILDING)
#define VDVISA_API __attribute__((visibility("default")))
#else
#define VDVISA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

VDVISA_API ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi);
VDVISA_API ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi,
                                        ViPUInt32 retCnt, ViChar desc[]);
VDVISA_API ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[]);
VDVISA_API ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode,
                                    ViUInt32 timeout, ViPSession vi);
VDVISA_API ViStatus _VI_FUNC viClose(ViObject vi);
VDVISA_API ViStatus _VI_FUNC viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
VDVISA_API ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue);
VDVISA_API ViStatus _VI_FUNC viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);

VDVISA_API ViStatus _VI_FUNC viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
VDVISA_API ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt,
                                     ViPUInt32 retCnt);
VDVISA_API ViStatus _VI_FUNC viClear(ViSession vi);
VDVISA_API ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask);

VDVISA_API ViStatus _VI_FUNCC viPrintf(ViSession vi, ViConstString writeFmt, ...);
VDVISA_API ViStatus _VI_FUNC viVPrintf(ViSession vi, ViConstString writeFmt, va_list params);
VDVISA_API ViStatus _VI_FUNCC viScanf(ViSession vi, ViConstString readFmt, ...);
VDVISA_API ViStatus _VI_FUNC viVScanf(ViSession vi, ViConstString readFmt, va_list params);
VDVISA_API ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt,
                                       ViConstString readFmt, ...);
VDVISA_API ViStatus _VI_FUNC viVQueryf(ViSession vi, ViConstString writeFmt,
                                       ViConstString readFmt, va_list params);

/* Attributes */
#define VI_ATTR_RSRC_CLASS (0xBFFF0001UL)
#define VI_ATTR_RSRC_NAME (0xBFFF0002UL)
#define VI_ATTR_SEND_END_EN (0x3FFF0016UL)
#define VI_ATTR_TERMCHAR (0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE (0x3FFF001AUL)
#define VI_ATTR_WR_BUF_OPER_MODE (0x3FFF002DUL)
#define VI_ATTR_TERMCHAR_EN (0x3FFF0038UL)
#define VI_ATTR_INTF_TYPE (0x3FFF0171UL)
#define VI_ATTR_INTF_NUM (0x3FFF0176UL)
#define VI_ATTR_TCPIP_ADDR (0xBFFF0195UL)
#define VI_ATTR_TCPIP_HOSTNAME (0xBFFF0196UL)
#define VI_ATTR_TCPIP_DEVICE_NAME (0xBFFF0199UL)
#define VI_ATTR_TCPIP_NODELAY (0x3FFF019AUL)
#define VI_ATTR_TCPIP_KEEPALIVE (0x3FFF019BUL)

/* Completion codes */
#define VI_SUCCESS (0L)
#define VI_SUCCESS_TERM_CHAR (0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT (0x3FFF0006L)
#define VI_WARN_NSUP_ATTR_STATE (0x3FFF0084L)
#define VI_WARN_UNKNOWN_STATUS (0x3FFF0085L)

/* Error codes */
#define VI_ERROR_SYSTEM_ERROR (_VI_ERROR + 0x3FFF0000L)
#define VI_ERROR_INV_OBJECT (_VI_ERROR + 0x3FFF000EL)
#define VI_ERROR_RSRC_LOCKED (_VI_ERROR + 0x3FFF000FL)
#define VI_ERROR_INV_EXPR (_VI_ERROR + 0x3FFF0010L)
#define VI_ERROR_RSRC_NFOUND (_VI_ERROR + 0x3FFF0011L)
#define VI_ERROR_INV_RSRC_NAME (_VI_ERROR + 0x3FFF0012L)
#define VI_ERROR_INV_ACC_MODE (_VI_ERROR + 0x3FFF0013L)
#define VI_ERROR_TMO (_VI_ERROR + 0x3FFF0015L)
#define VI_ERROR_CLOSING_FAILED (_VI_ERROR + 0x3FFF0016L)
#define VI_ERROR_NSUP_ATTR (_VI_ERROR + 0x3FFF001DL)
#define VI_ERROR_NSUP_ATTR_STATE (_VI_ERROR + 0x3FFF001EL)
#define VI_ERROR_ATTR_READONLY (_VI_ERROR + 0x3FFF001FL)
#define VI_ERROR_RAW_WR_PROT_VIOL (_VI_ERROR + 0x3FFF0034L)
#define VI_ERROR_RAW_RD_PROT_VIOL (_VI_ERROR + 0x3FFF0035L)
#define VI_ERROR_OUTP_PROT_VIOL (_VI_ERROR + 0x3FFF0036L)
#define VI_ERROR_INP_PROT_VIOL (_VI_ERROR + 0x3FFF0037L)
#define VI_ERROR_BERR (_VI_ERROR + 0x3FFF0038L)
#define VI_ERROR_INV_SETUP (_VI_ERROR + 0x3FFF003AL)
#define VI_ERROR_ALLOC (_VI_ERROR + 0x3FFF003CL)
#define VI_ERROR_IO (_VI_ERROR + 0x3FFF003EL)
#define VI_ERROR_INV_FMT (_VI_ERROR + 0x3FFF003FL)
#define VI_ERROR_NSUP_FMT (_VI_ERROR + 0x3FFF0041L)
#define VI_ERROR_NSUP_OPER (_VI_ERROR + 0x3FFF0067L)
#define VI_ERROR_USER_BUF (_VI_ERROR + 0x3FFF0071L)
#define VI_ERROR_RSRC_BUSY (_VI_ERROR + 0x3FFF0072L)
#define VI_ERROR_INV_PARAMETER (_VI_ERROR + 0x3FFF0078L)
#define VI_ERROR_INV_SIZE (_VI_ERROR + 0x3FFF007BL)
#define VI_ERROR_INV_LENGTH (_VI_ERROR + 0x3FFF0083L)
#define VI_ERROR_CONN_LOST (_VI_ERROR + 0x3FFF00A6L)
#define VI_ERROR_MACHINE_NAVAIL (_VI_ERROR + 0x3FFF00A7L)

/* Other definitions */
#define VI_FIND_BUFLEN (256)
#define VI_INTF_TCPIP (6)
#define VI_NO_LOCK (0)
#define VI_TMO_IMMEDIATE (0L)
#define VI_TMO_INFINITE (0xFFFFFFFFUL)
#define VI_FLUSH_ON_ACCESS (1)
#define VI_FLUSH_WHEN_FULL (2)
#define VI_READ_BUF (1)
#define VI_WRITE_BUF (2)
#define VI_READ_BUF_DISCARD (4)
#define VI_WRITE_BUF_DISCARD (8)

#ifdef __cplusplus
}
#endif

#endif
