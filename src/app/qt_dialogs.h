#pragma once
// The dialogs an operator sees: Qt message boxes and file dialogs, modal
// over the owner window.

#include <QPointer>
#include <QWidget>

#include <memory>

#include "app/dialogs.h"

class QMessageBox;

namespace tscard::app {

// The message box a request is shown in (not yet shown).
std::unique_ptr<QMessageBox> NewMessageBox(const MessageRequest& request, QWidget* owner);

class QtDialogs final : public Dialogs {
public:
    // The window the dialogs are modal over; set once the window exists.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    DialogButton Message(const MessageRequest& request) override;
    std::optional<FileChoice> OpenFile(const FileRequest& request) override;
    std::optional<FileChoice> OpenFiles(const FileRequest& request) override;
    std::optional<FileChoice> SaveFile(const FileRequest& request) override;
    std::optional<std::string> ChooseFolder(const FolderRequest& request) override;
    void ShowFolder(const std::string& folder) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tscard::app
