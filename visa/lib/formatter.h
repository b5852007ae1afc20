#pragma once

#include "visa.h"

#include <cstdarg>
#include <string>

namespace vdvisa {

// printf-style formatting for viPrintf/viQueryf. Numbers are always formatted in the "C"
// locale (a point as decimal separator whatever the process locale is), and the arguments
// are taken one by one from *args so that viQueryf can go on reading them for its scan.
ViStatus formatMessage(const char *format, va_list *args, std::string &out);

} // namespace vdvisa
