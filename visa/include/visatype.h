/*
 * VISA fundamental types, with the names and sizes of the public VISA C API, for our own
 * VISA library over VXI-11. Programs written against this header build unchanged against a
 * vendor's VISA.
 */
#ifndef VDVISA_VISATYPE_H
#define VDVISA_VISATYPE_H

#include <stdint.h>

#if defined(_WIN32)
#define _VI_FUNC __stdcall
#define _VI_FUNCC __cdecl
#else
#define _VI_FUNC
#define _VI_FUNCC
#endif

#define _VI_ERROR (-2147483647L - 1)

typedef uint32_t ViUInt32;
typedef ViUInt32 *ViPUInt32;
typedef int32_t ViInt32;
typedef ViInt32 *ViPInt32;
typedef uint64_t ViUInt64;
typedef int64_t ViInt64;
typedef uint16_t ViUInt16;
typedef ViUInt16 *ViPUInt16;
typedef int16_t ViInt16;
typedef ViInt16 *ViPInt16;
typedef unsigned char ViUInt8;
typedef ViUInt8 *ViPUInt8;
typedef signed char ViInt8;
typedef char ViChar;
typedef ViChar *ViPChar;
typedef unsigned char ViByte;
typedef ViByte *ViPByte;
typedef void *ViAddr;
typedef float ViReal32;
typedef double ViReal64;

typedef ViPByte ViBuf;
typedef const ViByte *ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPChar ViString;
typedef const ViChar *ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;

typedef ViUInt16 ViBoolean;
typedef ViBoolean *ViPBoolean;
typedef ViInt32 ViStatus;
typedef ViStatus *ViPStatus;
typedef ViUInt32 ViVersion;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViSession *ViPSession;
typedef ViUInt32 ViAttr;
typedef ViObject ViFindList;
typedef ViFindList *ViPFindList;
typedef ViUInt32 ViAccessMode;
typedef ViUInt64 ViAttrState;
typedef ViUInt32 ViEventType;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0

#endif
