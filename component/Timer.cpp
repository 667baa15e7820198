#include "Timer.h"

#include "AutomationError.h"

namespace component {

Timer::Timer(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (onTimer) onTimer();
    });
}

void Timer::setInterval(int ms) {
    if (ms < 0 || ms > 65535) throwInvalidPropertyValue();
    m_interval = ms;
    apply();
}

void Timer::setEnabled(bool on) {
    m_enabled = on;
    apply();
}

void Timer::apply() {
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace component
