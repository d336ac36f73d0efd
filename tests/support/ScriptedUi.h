#pragma once
// The UI seam for tests: records every request and answers from queues.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/IUiServices.h"

namespace quenvor::test {

class ScriptedUi : public shell::IUiServices {
public:
    struct Message {
        std::string text, title;
        shell::MsgButtons buttons;
        shell::MsgIcon icon;
    };
    std::vector<Message> messages;
    std::deque<shell::MsgAnswer> answers;  // empty: Ok, or Yes for a Yes/No box
    std::deque<shell::FileDialogResult> fileAnswers;
    std::vector<shell::FileDialogRequest> fileRequests;
    std::deque<std::string> folderAnswers;
    std::vector<shell::FolderDialogRequest> folderRequests;
    std::vector<shell::MousePointer> pointers;
    int pendingEventCalls = 0;
    std::function<void()> onProcessEvents;  // what the user does while a run yields
    int endProgramCalls = 0;

    shell::MsgAnswer messageBox(const std::string& text, const std::string& title, shell::MsgButtons buttons,
                                shell::MsgIcon icon) override {
        messages.push_back({text, title, buttons, icon});
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == shell::MsgButtons::Ok || buttons == shell::MsgButtons::OkCancel ? shell::MsgAnswer::Ok
                                                                                          : shell::MsgAnswer::Yes;
    }
    shell::FileDialogResult openFileDialog(const shell::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) return {};
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    std::string browseForFolder(const shell::FolderDialogRequest& request) override {
        folderRequests.push_back(request);
        if (folderAnswers.empty()) return {};
        auto a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    void setMousePointer(shell::MousePointer pointer) override { pointers.push_back(pointer); }
    void processPendingEvents() override {
        ++pendingEventCalls;
        if (onProcessEvents) onProcessEvents();
    }
    void endProgram() override { ++endProgramCalls; }
};

}  // namespace quenvor::test
