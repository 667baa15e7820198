#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace component {

// A timer element: fires onTimer every Interval milliseconds while Enabled
// and the interval is not 0.
class Timer : public QObject {
    Q_OBJECT

public:
    explicit Timer(QObject* parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);
    bool isRunning() const { return m_timer.isActive(); }

    std::function<void()> onTimer;

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
};

} // namespace component
