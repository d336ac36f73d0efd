#pragma once
// Clicks on the main window's controls, by control name, to the page logic that answers them.
// Both windows forward what was clicked and what the pointer crossed, and decide nothing else,
// so a control behaves the same whichever window draws it.
#include <functional>
#include <map>
#include <string>

namespace quenvor::shell {

class StartForm;

class ClickRouter {
public:
    explicit ClickRouter(StartForm& form);

    // Whether a click on `name` has a handler. Every button has one; the windows ask before
    // forwarding clicks on their pictures, captions and lists.
    bool routes(const std::string& name) const;
    // A click on `name`; a member of a control array goes by its full name ("lblP1Tab3_0"),
    // which carries its index. A name without a handler is a fault of the window that sent it:
    // a debug build stops on it, a release build ignores it.
    void click(const std::string& name);
    // The pointer over `name`: the tab captions bold the tab under it. Other controls do nothing.
    void pointerOver(const std::string& name);
    // The context menu of `name` was asked for (a right click, the menu key, Shift+F10); the
    // windows forward it only where it has a handler.
    bool routesMenu(const std::string& name) const { return m_menus.contains(name); }
    void contextMenu(const std::string& name);

private:
    std::map<std::string, std::function<void()>> m_clicks;
    std::map<std::string, std::function<void()>> m_menus;
    std::map<std::string, int> m_tabs;  // the strips' hot areas and captions: the tab (1 to 4) of each
    StartForm& m_form;
};

}  // namespace quenvor::shell
