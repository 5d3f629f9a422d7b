// The stand-ins tests give the code under test. They live beside the real ones in platform/
// (the window programs take them too); this header is where a test finds them:
//   zel::platform::FakeClock          a wall clock that stands still until Set/AdvanceSeconds
//   zel::platform::RecordingPrompter  records every message box, answers from a queue
//   zel::platform::RecordingLauncher  records every program start and desktop open
#pragma once

#include "zel/platform/clock.h"
#include "zel/platform/launcher.h"
#include "zel/platform/prompter.h"
