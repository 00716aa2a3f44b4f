#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
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
    return QFileDialog::getSaveFileName(parent, request.title, InitialPath(request),
                                        request.filter);
}

QString DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

}  // namespace talvo
