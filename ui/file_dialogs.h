#pragma once
// Modal file dialogs behind a small interface, so that tests can answer them.

#include <QString>

class QWidget;

namespace talvo {

struct FileDialogRequest {
    QString title;
    QString folder;     // initial folder; empty for the toolkit's default
    QString file_name;  // initial file name text
    QString filter;     // file-type filter; empty for none
    // Added by a save dialog to a name typed without one, before it asks
    // whether to replace an existing file; empty for none.
    QString default_suffix;
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // Both return the chosen path, or an empty text when the user cancelled.
    virtual QString getOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString getSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
};

class QtFileDialogs : public FileDialogs {
  public:
    QString getOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString getSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
};

// The current user's documents folder; the home folder where there is none.
QString DocumentsFolder();

}  // namespace talvo
