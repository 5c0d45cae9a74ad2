#include "QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

using kalo::platform::MessageIcon;

void QtMessageBoxes::Show(const std::string& text, const std::string& caption, MessageIcon icon)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case MessageIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case MessageIcon::Error: qtIcon = QMessageBox::Critical; break;
    case MessageIcon::Question: qtIcon = QMessageBox::Question; break;
    case MessageIcon::None: break;
    }
    const QString title = caption.empty() ? QCoreApplication::applicationName() : QString::fromStdString(caption);
    QMessageBox box(qtIcon, title, QString::fromStdString(text), QMessageBox::Ok, m_owner);
    box.exec();
}
