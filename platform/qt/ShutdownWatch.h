#pragma once

#include <QObject>

namespace chronavel {

// Notices that the user has closed the last window, so that a request still
// waiting can be abandoned instead of showing further boxes.
class ShutdownWatch final : public QObject {
    Q_OBJECT
public:
    ShutdownWatch();

    bool IsShuttingDown() const { return m_bShuttingDown; }
    void RequestShutdown() { m_bShuttingDown = true; }

private:
    bool m_bShuttingDown = false;
};

} // namespace chronavel
