#include "ui/widgets/qt_message_boxes.h"

#include <QMessageBox>
#include <QWidget>

namespace larkspan {

QWidget* QtMessageBoxes::Owner() const
{
    // A box is centred over its owner, even over a hidden or minimised one, whose unshown frame
    // lies in the corner of the screen; without an owner it is centred on the screen.
    if (m_parent == nullptr || !m_parent->isVisible() || m_parent->isMinimized())
        return nullptr;
    return m_parent;
}

void QtMessageBoxes::Inform(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
        QMessageBox::Ok, Owner());
    box.exec();
}

bool QtMessageBoxes::Confirm(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
        QMessageBox::Ok | QMessageBox::Cancel, Owner());
    return box.exec() == QMessageBox::Ok;
}

} // namespace larkspan
