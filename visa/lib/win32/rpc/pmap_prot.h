/* The portmapper (RFC 1833, version 2) as our VISA library asks it for a program's port. */
#ifndef VDVISA_WIN32_PMAP_PROT_H
#define VDVISA_WIN32_PMAP_PROT_H

#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PMAPPORT ((u_short)111)
#define PMAPPROG ((u_long)100000)
#define PMAPVERS ((u_long)2)
#define PMAPPROC_GETPORT ((u_long)3)

struct pmap
{
    u_long pm_prog;
    u_long pm_vers;
    u_long pm_prot;
    u_long pm_port;
};

bool_t xdr_pmap(XDR *xdrs, struct pmap *regs);

#ifdef __cplusplus
}
#endif

#endif
