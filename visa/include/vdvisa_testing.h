/*
 * Test hooks of our VISA library (not part of the VISA API; a vendor VISA has none).
 *
 * vdvisaInjectStatus makes the nth call (1 = the next one) of an operation, counted from
 * now, return status: a negative status replaces the call (nothing is sent), a positive one
 * is returned after the call has done its work successfully (a completion with a warning).
 * The same injections can be given in the environment before the first VISA call:
 * VDVISA_INJECT="viOpenDefaultRM:1:-1073807360,viQueryf:3:1073676294".
 */
#ifndef VDVISA_TESTING_H
#define VDVISA_TESTING_H

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

VDVISA_API void vdvisaInjectStatus(const char *operation, unsigned nth, ViStatus status);
VDVISA_API void vdvisaClearInjections(void);

#ifdef __cplusplus
}
#endif

#endif
