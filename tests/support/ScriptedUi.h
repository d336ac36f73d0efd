#pragma once
// The UI seam for tests: records every request and answers from queues.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/IUiServices.h"

namespace quenvor::test {

class ScriptedUi : public ui::IUiServices {
public:
    struct Message {
        std::string text, title;
        ui::MsgButtons buttons;
        ui::MsgIcon icon;
        ui::MsgDefault defaultButton = ui::MsgDefault::First;
        std::string detailsButton = {};
        std::vector<std::string> details = {};
    };
    std::vector<Message> messages;
    std::deque<ui::MsgAnswer> answers;  // empty: Ok, or Yes for a Yes/No box
    std::deque<ui::FileDialogResult> fileAnswers;
    std::vector<ui::FileDialogRequest> fileRequests;
    std::deque<std::string> folderAnswers;
    std::vector<ui::FolderDialogRequest> folderRequests;
    std::vector<ui::MousePointer> pointers;
    int pendingEventCalls = 0;
    std::function<void()> onProcessEvents;  // what the user does while a run yields
    std::function<void()> onMessage;        // what is on screen while a box is open
    int endProgramCalls = 0;

    ui::MsgAnswer messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                             ui::MsgIcon icon, ui::MsgDefault defaultButton = ui::MsgDefault::First) override {
        messages.push_back({text, title, buttons, icon, defaultButton});
        if (onMessage) onMessage();
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == ui::MsgButtons::Ok || buttons == ui::MsgButtons::OkCancel ? ui::MsgAnswer::Ok
                                                                                    : ui::MsgAnswer::Yes;
    }
    ui::MsgAnswer messageBoxWithDetails(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                        ui::MsgIcon icon, ui::MsgDefault defaultButton,
                                        const std::string& detailsButton,
                                        const std::vector<std::string>& details) override {
        const auto answer = messageBox(text, title, buttons, icon, defaultButton);
        messages.back().detailsButton = detailsButton;
        messages.back().details = details;
        return answer;
    }
    ui::FileDialogResult openFileDialog(const ui::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) return {};
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    std::string browseForFolder(const ui::FolderDialogRequest& request) override {
        folderRequests.push_back(request);
        if (folderAnswers.empty()) return {};
        auto a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    void setMousePointer(ui::MousePointer pointer) override { pointers.push_back(pointer); }
    void processPendingEvents() override {
        ++pendingEventCalls;
        if (onProcessEvents) onProcessEvents();
    }
    void endProgram() override { ++endProgramCalls; }
};

// A run's final message without the account of what went that follows its verdict.
inline std::string verdictOf(const std::string& message) { return message.substr(0, message.find("\n\n")); }

}  // namespace quenvor::test
