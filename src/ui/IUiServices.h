#pragma once
// What page logic asks of the user interface besides its own controls: message boxes,
// dialogs, the pointer and event processing. The window layer answers with Qt; tests
// answer from a script.
#include <string>
#include <utility>
#include <vector>

namespace quenvor::ui {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No };
enum class MousePointer { Default, Hourglass };
// The button Enter presses. A question whose Yes destroys something takes the second (No, or
// Cancel), so a stray Enter never confirms it.
enum class MsgDefault { First, Second };

struct FileDialogRequest {
    std::string title;
    std::string initialDir;
    std::string initialFile;  // shown in the name box when the dialog opens
    // Pairs of description and pattern list ("All Files", "*.*"), in order.
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 1;  // 1-based
    bool multiSelect = false;
    bool fileMustExist = true;
};

struct FileDialogResult {
    bool accepted = false;
    std::vector<std::string> files;  // full paths, UTF-8
    int filterIndex = 0;             // 1-based entry chosen
};

struct FolderDialogRequest {
    std::string title;
    std::string initialDir;
};

class IUiServices {
public:
    virtual ~IUiServices() = default;
    virtual MsgAnswer messageBox(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                                 MsgDefault defaultButton = MsgDefault::First) = 0;
    // A message box with a long list behind it, opened on demand: the button captioned
    // `detailsButton` shows `details` (a line each, tens of thousands at times) inside the box
    // without closing it. A window that cannot show the list asks the plain question.
    virtual MsgAnswer messageBoxWithDetails(const std::string& text, const std::string& title, MsgButtons buttons,
                                            MsgIcon icon, MsgDefault defaultButton,
                                            const std::string& /*detailsButton*/,
                                            const std::vector<std::string>& /*details*/) {
        return messageBox(text, title, buttons, icon, defaultButton);
    }
    virtual FileDialogResult openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::string browseForFolder(const FolderDialogRequest& request) = 0;  // empty on cancel
    virtual void setMousePointer(MousePointer pointer) = 0;
    virtual void processPendingEvents() = 0;
    // Ends the program at once, without the window's unload step.
    virtual void endProgram() = 0;
};

}  // namespace quenvor::ui
