#include "QtMessageBoxes.h"

#include "platform/Interruption.h"

#include <QApplication>
#include <QMessageBox>

using kalo::platform::MessageIcon;

void QtMessageBoxes::Show(const std::string& text, const std::string& caption, MessageIcon icon,
                          const std::string& detail)
{
    // What fails once the program is interrupted fails because of it, and
    // the windows are closing: a box would only hold the program open.
    if (kalo::platform::Interrupted())
        return;
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case MessageIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case MessageIcon::Error: qtIcon = QMessageBox::Critical; break;
    case MessageIcon::Question: qtIcon = QMessageBox::Question; break;
    case MessageIcon::None: break;
    }
    const QString title = caption.empty() ? QCoreApplication::applicationName() : QString::fromStdString(caption);
    // Owned by the window in front: the main window, or one it opened.
    QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_owner.data();
    QMessageBox box(qtIcon, title, QString::fromStdString(text), QMessageBox::Ok, owner);
    // A message may quote a printer or a file: a "<b>" in it is text, not markup.
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty())
        box.setInformativeText(QString::fromStdString(detail));
    box.exec();
}
