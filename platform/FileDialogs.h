#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kalo::platform {

struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    std::string title;
    std::string initialName;
    std::string filter; // "Description (*.ext)|*.ext|" pairs
    bool overwritePrompt = false;
    bool createPrompt = false;
    bool mustExist = false;
    std::string defaultExtension; // "bin": added to a name typed without one
};

// The standard open and save dialogs: the windows show real ones, tests
// answer them from a script.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // True with the chosen path when the dialog ended with OK.
    virtual bool Choose(const FileDialogRequest& request, std::string& path) = 0;
};

// Answers from a list given beforehand (nullopt = cancelled) and keeps what was asked.
class ScriptedFileDialogs final : public FileDialogs {
public:
    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogRequest> asked;

    bool Choose(const FileDialogRequest& request, std::string& path) override
    {
        asked.push_back(request);
        if (answers.empty())
            return false;
        const std::optional<std::string> answer = answers.front();
        answers.pop_front();
        if (!answer)
            return false;
        path = *answer;
        return true;
    }
};

} // namespace kalo::platform
