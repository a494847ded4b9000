#pragma once
// The system's default alert sound. The program sets how it sounds (the
// toolkit's beep); unset, the alert is silent. Tests count the alerts.
#include <functional>

namespace platform {

void Beep();
void SetBeep(std::function<void()> beep);

}  // namespace platform
