#pragma once

#include <visa.h>

// The process-wide VISA resource manager session: opened by the main window, used by every
// panel to open its own sessions, closed last.
ViSession defaultResourceManager();
void setDefaultResourceManager(ViSession session);
