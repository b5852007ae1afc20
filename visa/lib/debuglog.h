#pragma once

namespace vdvisa {

// The library's debug log: one line per event on standard error, "vdvisa: " first. Used for
// what the library skips or works around and a caller would otherwise never learn of.
void debugWarning(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace vdvisa
