#include "QtFileDialogs.h"

#include <QApplication>
#include <QFileDialog>

bool QtFileDialogs::Choose(const kalo::platform::FileDialogRequest& request, std::string& path)
{
    // "Status Files (*.sts)|*.sts|" names its filters in the odd fields.
    QStringList filters;
    const QStringList parts = QString::fromStdString(request.filter).split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty())
            filters << parts[i];
    }
    QFileDialog dialog(QApplication::activeModalWidget(), QString::fromStdString(request.title));
    dialog.setNameFilters(filters);
    const bool save = request.kind == kalo::platform::FileDialogRequest::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialName.empty() && request.initialName.find('*') == std::string::npos)
        dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front().toStdString();
    return true;
}
