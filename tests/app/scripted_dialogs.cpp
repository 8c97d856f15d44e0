#include "scripted_dialogs.h"

namespace tscard::app::test {
namespace {

const char* KindName(ScriptedDialogs::Kind kind) {
    switch (kind) {
        case ScriptedDialogs::Kind::Message: return "message";
        case ScriptedDialogs::Kind::OpenFile: return "open file";
        case ScriptedDialogs::Kind::OpenFiles: return "open files";
        case ScriptedDialogs::Kind::SaveFile: return "save file";
        case ScriptedDialogs::Kind::Folder: return "folder";
    }
    return "?";
}

}  // namespace

void ScriptedDialogs::AnswerMessage(DialogButton button) { answers_.push_back({Kind::Message, button}); }

void ScriptedDialogs::AnswerFile(Kind kind, std::vector<std::string> paths, int filter_index) {
    answers_.push_back({kind, std::optional<FileChoice>(FileChoice{std::move(paths), filter_index})});
}

void ScriptedDialogs::AnswerFolder(std::string folder) {
    answers_.push_back({Kind::Folder, std::optional<std::string>(std::move(folder))});
}

void ScriptedDialogs::Cancel(Kind kind) {
    if (kind == Kind::Message)
        answers_.push_back({kind, DialogButton::Cancel});
    else if (kind == Kind::Folder)
        answers_.push_back({kind, std::optional<std::string>()});
    else
        answers_.push_back({kind, std::optional<FileChoice>()});
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::Take(Kind kind, const std::string& about) {
    if (answers_.empty() || answers_.front().What != kind) {
        unexpected_.push_back(std::string(KindName(kind)) + ": " + about);
        return std::nullopt;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

DialogButton ScriptedDialogs::Message(const MessageRequest& request) {
    asked_.push_back({Kind::Message, request, {}, {}});
    const auto answer = Take(Kind::Message, request.Text);
    if (!answer) return request.Buttons.size() == 1 ? request.Buttons.front() : DialogButton::Cancel;
    return std::get<DialogButton>(answer->Value);
}

std::optional<FileChoice> ScriptedDialogs::File(Kind kind, const FileRequest& request) {
    asked_.push_back({kind, {}, request, {}});
    const auto answer = Take(kind, request.Title.empty() ? request.FileName : request.Title);
    if (!answer) return std::nullopt;
    return std::get<std::optional<FileChoice>>(answer->Value);
}

std::optional<FileChoice> ScriptedDialogs::OpenFile(const FileRequest& request) {
    return File(Kind::OpenFile, request);
}

std::optional<FileChoice> ScriptedDialogs::OpenFiles(const FileRequest& request) {
    return File(Kind::OpenFiles, request);
}

std::optional<FileChoice> ScriptedDialogs::SaveFile(const FileRequest& request) {
    return File(Kind::SaveFile, request);
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const FolderRequest& request) {
    asked_.push_back({Kind::Folder, {}, {}, request});
    const auto answer = Take(Kind::Folder, request.Title);
    if (!answer) return std::nullopt;
    return std::get<std::optional<std::string>>(answer->Value);
}

}  // namespace tscard::app::test
