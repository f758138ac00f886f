#include "qt_message_boxes.h"

#include <QMessageBox>

namespace larkspan {

void QtMessageBoxes::Inform(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
        QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtMessageBoxes::Confirm(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
        QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    return box.exec() == QMessageBox::Ok;
}

} // namespace larkspan
