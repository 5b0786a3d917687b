#include "softtimers.h"

#include <cmath>

namespace ambrel::ui {

void TSoftTimers::Tick() {
    for (size_t i = 0; i < m_counters.size(); ++i) {
        if (m_counters[i] > 0)
            m_counters[i] -= 1;
        else if (m_counters[i] != -1 && m_actions[i])
            m_actions[i]();
    }
}

int TSoftTimers::TicksFor(int milliseconds) {
    return static_cast<int>(std::nearbyint(static_cast<double>(milliseconds) / kTickMs));
}

} // namespace ambrel::ui
