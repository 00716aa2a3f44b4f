#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace talvo {
namespace {
QString InitialPath(const FileDialogRequest& request) {
    if (request.folder.isEmpty()) return request.file_name;
    if (request.file_name.isEmpty()) return request.folder;
    return QDir(request.folder).filePath(request.file_name);
}
}  // namespace

QString QtFileDialogs::getOpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(parent, request.title, InitialPath(request),
                                        request.filter);
}

QString QtFileDialogs::getSaveFileName(QWidget* parent, const FileDialogRequest& request) {
    if (request.default_suffix.isEmpty())
        return QFileDialog::getSaveFileName(parent, request.title, InitialPath(request),
                                            request.filter);
    // The static dialog takes no default suffix.
    QFileDialog dialog(parent, request.title, InitialPath(request), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.default_suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

QString DocumentsFolder() {
    // A dialog given a folder that does not exist opens its parent with the
    // folder's name as the file name, and Save would write that.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

}  // namespace talvo
