#pragma once

// Waits ms milliseconds on the GUI thread while the interface stays alive: pending events are
// processed at most 100 ms at a time until the deadline has passed. The deadline is taken on a
// monotonic clock, so a pause across midnight or a clock change lasts exactly as long. Every
// pause of the metrology scenarios is this one.
void delayMs(int ms);
