// The abort flag of the connection layer is the platform's (raising it wakes a line wait).
#pragma once

#include "zel/platform/abort_flag.h"

namespace zel::comm {

using AbortFlag = zel::platform::AbortFlag;

}  // namespace zel::comm
