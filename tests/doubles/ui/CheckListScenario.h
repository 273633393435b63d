#pragma once
// What the editor relies on of its check-box list, as one scenario run against the recording
// toolkit's list natively and against the real control under Wine.

#include <functional>

#include "platform/Toolkit.h"

// settle lets the control deliver whatever it reports by itself after the calls.
void CheckListScenario(CheckList& list, const std::function<void()>& settle);
