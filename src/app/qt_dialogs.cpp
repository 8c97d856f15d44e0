#include "app/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>
#include <QMessageBox>
#include <QToolButton>

#include <algorithm>

#include "app/file_filter.h"
#include "app/shown_path.h"

namespace tscard::app {
namespace {

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

QMessageBox::StandardButton QtButton(DialogButton button) {
    switch (button) {
        case DialogButton::Ok: return QMessageBox::Ok;
        case DialogButton::Yes: return QMessageBox::Yes;
        case DialogButton::No: return QMessageBox::No;
        case DialogButton::Cancel: return QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon QtIcon(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::None: return QMessageBox::NoIcon;
        case DialogIcon::Information: return QMessageBox::Information;
        case DialogIcon::Question: return QMessageBox::Question;
        case DialogIcon::Warning: return QMessageBox::Warning;
        case DialogIcon::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

std::optional<FileChoice> RunFileDialog(QWidget* owner, const FileRequest& request, QFileDialog::AcceptMode accept,
                                        QFileDialog::FileMode mode) {
    QFileDialog dialog(owner, Utf8(request.Title));
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    const QStringList filters = QtNameFilters(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    if (!request.Folder.empty()) dialog.setDirectory(ShownPath(request.Folder));
    if (!request.FileName.empty()) dialog.selectFile(ShownPath(request.FileName));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    FileChoice choice;
    for (const QString& path : dialog.selectedFiles()) choice.Paths.push_back(PathBytes(path));
    if (choice.Paths.empty()) return std::nullopt;
    choice.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.FilterIndex < 1) choice.FilterIndex = request.FilterIndex;
    return choice;
}

}  // namespace

std::unique_ptr<QMessageBox> NewMessageBox(const MessageRequest& request, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(QtIcon(request.Icon), Utf8(request.Caption), Utf8(request.Text),
                                             QMessageBox::NoButton, owner);
    for (DialogButton button : request.Buttons) box->addButton(QtButton(button));
    box->setDefaultButton(QtButton(request.Default));
    const bool has_cancel =
        std::find(request.Buttons.begin(), request.Buttons.end(), DialogButton::Cancel) != request.Buttons.end();
    if (has_cancel) box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

DialogButton QtDialogs::Message(const MessageRequest& request) {
    const std::unique_ptr<QMessageBox> box = NewMessageBox(request, owner_);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box->exec());
    for (DialogButton button : request.Buttons)
        if (QtButton(button) == pressed) return button;
    // Closed without a button: the only button, else Cancel.
    return request.Buttons.size() == 1 ? request.Buttons.front() : DialogButton::Cancel;
}

std::optional<FileChoice> QtDialogs::OpenFile(const FileRequest& request) {
    return RunFileDialog(owner_, request, QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
}

std::optional<FileChoice> QtDialogs::OpenFiles(const FileRequest& request) {
    return RunFileDialog(owner_, request, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

std::optional<FileChoice> QtDialogs::SaveFile(const FileRequest& request) {
    return RunFileDialog(owner_, request, QFileDialog::AcceptSave, QFileDialog::AnyFile);
}

std::optional<std::string> QtDialogs::ChooseFolder(const FolderRequest& request) {
    // Qt's own dialog: its texts can be given; a native one keeps its own.
    QFileDialog dialog(owner_, Utf8(request.Title), ShownPath(request.Folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!request.Prompt.empty()) dialog.setLabelText(QFileDialog::FileName, Utf8(request.Prompt));
    if (!request.CancelCaption.empty()) dialog.setLabelText(QFileDialog::Reject, Utf8(request.CancelCaption));
    if (!request.NewFolderCaption.empty()) {
        if (auto* button = dialog.findChild<QToolButton*>("newFolderButton")) {
            button->setToolTip(Utf8(request.NewFolderCaption));
            button->setAccessibleName(Utf8(request.NewFolderCaption));
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return PathBytes(dialog.selectedFiles().front());
}

void QtDialogs::ShowFolder(const std::string& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(ShownPath(folder))); }

}  // namespace tscard::app
