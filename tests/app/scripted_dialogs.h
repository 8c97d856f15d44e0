#pragma once
// The dialogs of a window under test: every question is recorded and
// answered from a script, in order, without any modal dialog. A question
// that finds no fitting answer is recorded as unexpected and answered as if
// the operator cancelled (Cancel, or the only button of an OK box).

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/dialogs.h"

namespace tscard::app::test {

class ScriptedDialogs final : public Dialogs {
public:
    enum class Kind { Message, OpenFile, OpenFiles, SaveFile, Folder };

    struct Asked {
        Kind What;
        MessageRequest Message;  // Message
        FileRequest File;        // OpenFile, OpenFiles, SaveFile
        FolderRequest Folder;    // Folder
    };

    // Answers, taken in the order the window asks.
    void AnswerMessage(DialogButton button);
    void AnswerFile(Kind kind, std::vector<std::string> paths, int filter_index = 1);
    void AnswerFolder(std::string folder);
    void Cancel(Kind kind);

    const std::vector<Asked>& Questions() const { return asked_; }
    // Questions no scripted answer fitted, as "<kind>: <text or title>".
    const std::vector<std::string>& Unexpected() const { return unexpected_; }
    std::size_t AnswersLeft() const { return answers_.size(); }

    DialogButton Message(const MessageRequest& request) override;
    std::optional<FileChoice> OpenFile(const FileRequest& request) override;
    std::optional<FileChoice> OpenFiles(const FileRequest& request) override;
    std::optional<FileChoice> SaveFile(const FileRequest& request) override;
    std::optional<std::string> ChooseFolder(const FolderRequest& request) override;
    // Recorded, never launched.
    void ShowFolder(const std::string& folder) override { shown_folders_.push_back(folder); }
    const std::vector<std::string>& ShownFolders() const { return shown_folders_; }

private:
    struct Answer {
        Kind What;
        std::variant<DialogButton, std::optional<FileChoice>, std::optional<std::string>> Value;
    };

    std::optional<Answer> Take(Kind kind, const std::string& about);
    std::optional<FileChoice> File(Kind kind, const FileRequest& request);

    std::deque<Answer> answers_;
    std::vector<Asked> asked_;
    std::vector<std::string> unexpected_;
    std::vector<std::string> shown_folders_;
};

}  // namespace tscard::app::test
