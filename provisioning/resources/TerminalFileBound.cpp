// The bound of a terminal file's body, from the build option
// RUV_MAX_TERMINAL_FILE_BYTES. This object holds that one definition and nothing
// else: a program that brings its own definition (this file compiled with
// another bound) is linked with that one, and this object is never taken from
// the library.
#include "ruv/provisioning/DownloadLimits.h"

#ifndef RUV_MAX_TERMINAL_FILE_BYTES
#error "RUV_MAX_TERMINAL_FILE_BYTES must be defined by the build"
#endif

namespace ruv::provisioning {

const std::int64_t kMaxTerminalFileBytes = RUV_MAX_TERMINAL_FILE_BYTES;

}  // namespace ruv::provisioning
