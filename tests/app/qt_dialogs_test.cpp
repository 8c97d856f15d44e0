// The real folder dialog carries the texts it is given, whatever the
// language, and a cancelled one chooses nothing.

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/qt_dialogs.h"

namespace tscard::app::test {
namespace {

TEST(QtFolderDialog, ShowsTheGivenTextsAndCancelsToNothing) {
    QWidget owner;
    QtDialogs dialogs;
    dialogs.SetOwner(&owner);
    FolderRequest request;
    request.Title = "Select folder for save parsed stream";
    request.Prompt = "Select target folder";
    request.CancelCaption = "Cancel";
    request.NewFolderCaption = "New folder";
    request.Folder = QDir::tempPath().toStdString();

    QString title, prompt, cancel, new_folder, folder;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            // Whatever is up goes away: a modal left open would hang the test.
            if (modal != nullptr) modal->close();
            ADD_FAILURE() << "no folder dialog came up";
            return;
        }
        title = dialog->windowTitle();
        prompt = dialog->labelText(QFileDialog::FileName);
        cancel = dialog->labelText(QFileDialog::Reject);
        if (auto* button = dialog->findChild<QToolButton*>("newFolderButton")) new_folder = button->toolTip();
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_EQ(dialogs.ChooseFolder(request), std::nullopt);
    EXPECT_EQ(title, "Select folder for save parsed stream");
    EXPECT_EQ(prompt, "Select target folder");
    EXPECT_EQ(cancel, "Cancel");
    EXPECT_EQ(new_folder, "New folder");
    EXPECT_EQ(folder, QDir(QDir::tempPath()).absolutePath());
}

}  // namespace
}  // namespace tscard::app::test
