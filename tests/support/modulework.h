#pragma once

class ModuleThread;

// Waits, processing events, until every piece of work handed to the module's thread has come
// back and been shown, and no question of the program is open; false when that has not happened within timeoutMs of real time. A click
// returns as soon as its work is handed over: a test that looks at the outcome waits here first.
// A thread that goes with its panel meanwhile ends the wait.
bool waitForModuleWork(const ModuleThread *thread, int timeoutMs = 10000);
