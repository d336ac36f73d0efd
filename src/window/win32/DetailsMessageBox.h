#pragma once
// A message box with a long list behind a toggle button of its own: the list opens inside the box,
// under the question, and closes again on a second press, while the question stays open. Made
// from a dialog template in memory, so the dialog manager gives it the keyboard of every box: Tab,
// Enter for the default button, Esc, Alt and a button's letter. The list is a virtual list view:
// it holds no text of its own and asks for the rows in view only, so a hundred thousand lines
// open as fast as ten.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/IUiServices.h"
#include "window/win32/GdiObject.h"

namespace quenvor::window::win32 {

class DetailsMessageBox {
public:
    // The toggle button and the list, for whoever drives the box from outside.
    static constexpr int kDetailsId = 100;
    static constexpr int kListId = 101;

    // `details` is read, not copied: it must outlive the box.
    DetailsMessageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons, ui::MsgIcon icon,
                      ui::MsgDefault defaultButton, const std::string& detailsButton,
                      const std::vector<std::string>& details);

    ui::MsgAnswer run(HWND owner);
    // The answer a box's button id stands for, as MessageBox and this box give it.
    static ui::MsgAnswer answerOf(INT_PTR id);

private:
    struct Button {
        int id;
        std::wstring caption;
        HWND hwnd = nullptr;
        int width = 0;
    };

    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);
    void create();
    void measure();
    void place(bool open);
    void fillList();
    int scale(int pixels) const { return MulDiv(pixels, m_dpi, 96); }
    int escapeId() const;

    std::wstring m_text, m_title, m_detailsCaption, m_listName;
    ui::MsgButtons m_buttonSet;
    ui::MsgIcon m_icon;
    const std::vector<std::string>& m_details;
    std::vector<Button> m_buttons;
    int m_defaultId = IDOK;
    HWND m_dlg = nullptr;
    HWND m_picture = nullptr;
    HWND m_label = nullptr;
    HWND m_toggle = nullptr;
    HWND m_list = nullptr;
    GdiObject<HFONT> m_font;
    int m_dpi = 96;
    SIZE m_textSize{};
    int m_toggleWidth = 0;
    int m_buttonHeight = 0;
    int m_stripTop = 0;  // where the grey strip of buttons starts, in client pixels
    bool m_filled = false;
    std::wstring m_row;  // the text of the row the list last asked for
};

}  // namespace quenvor::window::win32
