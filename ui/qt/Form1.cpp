#include "ui/qt/Form1.h"

#include "ui/RequestTimeClick.h"

#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace chronavel {
namespace {

// Tahoma where the system has it, else Liberation Sans; the boxes leave room
// for the captions in either.
QFont ControlFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(9);
    return font;
}

QIcon WindowIcon()
{
    QIcon icon;
    for (const char* file :
         {":/chronavel/chronavel-16.png", ":/chronavel/chronavel-32.png", ":/chronavel/chronavel-48.png"}) {
        icon.addFile(QString::fromLatin1(file));
    }
    return icon;
}

} // namespace

Form1::Form1(IMessageBox& messageBox, TimeRequest request, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_messageBox(messageBox)
    , m_request(std::move(request))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Chronavel"));
    setWindowIcon(WindowIcon());
    setFixedSize(424, 78);

    setFont(ControlFont()); // the controls inherit it

    cmdRequestTime = new QPushButton(QStringLiteral("Request Time"), this);
    cmdRequestTime->setObjectName(QStringLiteral("cmdRequestTime"));
    cmdRequestTime->setGeometry(28, 24, 97, 37);
    cmdRequestTime->setAutoDefault(false);
    cmdRequestTime->setDefault(false);

    lblTimeLocal = new QLabel(this);
    lblTimeLocal->setObjectName(QStringLiteral("lblTimeLocal"));
    lblTimeLocal->setGeometry(208, 32, 201, 21);
    lblTimeLocal->setTextFormat(Qt::PlainText);

    Label2 = new QLabel(QStringLiteral("Local Time:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(140, 36, 65, 17);

    // Qt's setTabOrder skips widgets that take no focus, as labels don't: their
    // place in the chain comes from the order in which they were created.
    setTabOrder(cmdRequestTime, lblTimeLocal);
    setTabOrder(lblTimeLocal, Label2);
    cmdRequestTime->setFocus();

    connect(cmdRequestTime, &QPushButton::clicked, this, &Form1::cmdRequestTime_Click);
    cmdRequestTime->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // Enter presses the button like Space does, without making it the
    // window's default button.
    if (watched == cmdRequestTime && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool bEnter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // The keypad's Enter carries the keypad modifier.
        if (bEnter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat()) {
                cmdRequestTime->click();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::cmdRequestTime_Click() noexcept
{
    HandleRequestTimeClick(m_request, m_messageBox,
                           [this](const std::string& text) { lblTimeLocal->setText(QString::fromStdString(text)); });
}

} // namespace chronavel
