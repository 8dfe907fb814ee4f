#pragma once

#include "platform/MessageBox.h"
#include "ui/TimeRequest.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace chronavel {

// The main window: one button that asks for Ontario's current time and a
// label that shows it.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    Form1(IMessageBox& messageBox, TimeRequest request, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // noexcept: whatever escapes here would unwind through Qt's event loop.
    void cmdRequestTime_Click() noexcept;

    IMessageBox& m_messageBox;
    TimeRequest m_request;

    QPushButton* cmdRequestTime;
    QLabel* lblTimeLocal;
    QLabel* Label2;
};

} // namespace chronavel
