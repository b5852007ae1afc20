#pragma once

#include <functional>

// Ends the whole program at once with a status, as the start-up checks require (a missing
// VISA structure or driver file leaves nothing worth keeping alive). Tests replace the
// handler to observe the request instead of losing their process; callers therefore return
// right after calling it.
void terminateProgram(int status);
// Installs a handler (an empty one restores the real exit).
void setProgramExitHandler(std::function<void(int)> handler);
