#pragma once
// Every question and every file or folder choice the window puts to the
// operator goes through this interface: the window uses the Qt dialogs
// (QtDialogs), tests a scripted double that answers without any modal
// dialog. Texts are UTF-8; paths are file-system bytes.

#include <optional>
#include <string>
#include <vector>

namespace tscard::app {

enum class DialogButton { Ok, Yes, No, Cancel };
enum class DialogIcon { None, Information, Question, Warning, Error };

struct MessageRequest {
    std::string Text;
    std::string Caption;
    std::vector<DialogButton> Buttons{DialogButton::Ok};
    DialogButton Default = DialogButton::Ok;
    DialogIcon Icon = DialogIcon::None;
};

// Filters are written "name|patterns|name|patterns...", patterns separated
// by ';' (see the k...Filter constants).
struct FileRequest {
    std::string Title;     // empty: the dialog's own
    std::string Filter;
    int FilterIndex = 1;   // 1-based: the entry chosen at first
    std::string FileName;  // proposed name, or a path
    std::string Folder;    // folder shown at first; empty: the dialog's choice
    // Save only: ask before an existing file is chosen.
    bool ConfirmOverwrite = false;
};

struct FileChoice {
    std::vector<std::string> Paths;  // one, or more from OpenFiles
    int FilterIndex = 1;             // 1-based: the entry chosen last
};

struct FolderRequest {
    std::string Title;
    std::string Folder;  // folder shown at first
    std::string Prompt;  // what the operator is asked for; empty: the dialog's own label
    // Captions of the dialog's own buttons; empty: the dialog's.
    std::string CancelCaption;
    std::string NewFolderCaption;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed (Cancel, or the only
    // button, when it is closed otherwise).
    virtual DialogButton Message(const MessageRequest& request) = 0;
    // nullopt when the operator cancels.
    virtual std::optional<FileChoice> OpenFile(const FileRequest& request) = 0;
    virtual std::optional<FileChoice> OpenFiles(const FileRequest& request) = 0;
    virtual std::optional<FileChoice> SaveFile(const FileRequest& request) = 0;
    virtual std::optional<std::string> ChooseFolder(const FolderRequest& request) = 0;
    // Opens a folder in the desktop's file manager, beside the window.
    virtual void ShowFolder(const std::string& folder) = 0;

    // An OK-only message (errors, prompts).
    void Tell(const std::string& text, const std::string& caption = {}, DialogIcon icon = DialogIcon::None) {
        Message({text, caption, {DialogButton::Ok}, DialogButton::Ok, icon});
    }
};

// The stream files the open dialogs offer, first entry selected.
constexpr const char* kStreamFilter =
    "(m2t,m2ts,h264,mpg,ts)|*.m2t;*.m2ts;*.h264;*.mpg;*.ts|m2t|*.m2t|m2ts|*.m2ts|h264|*.h264|mpg|*.mpg|ts|*.ts|all|*.*";
// The stream files the save dialog offers.
constexpr const char* kSaveStreamFilter = "m2ts|*.m2ts|m4ts|*.m4ts|mpg|*.mpg|ts|*.ts|all|*.*";

}  // namespace tscard::app
