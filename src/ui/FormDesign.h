#pragma once
// The main window's controls as designed: kind, container, position (twips), font, design
// caption and start state. The window builds its widgets from this table and tests build
// their model of it from the same table.
#include <string>
#include <vector>

namespace quenvor::ui {

enum class ControlKind { PictureBox, Image, Label, Button, CheckBox, ComboBox, ListBox, ProgressBar };
enum class FontFace { Tahoma, SansSerif, Arial };

struct ControlSpec {
    std::string name;
    ControlKind kind = ControlKind::Label;
    std::string parent;                            // empty: the window itself
    int left = 0, top = 0, width = 0, height = 0;  // twips, relative to the parent
    std::string caption;                           // design caption, usually a string-table id
    bool visible = true;
    bool enabled = true;
    FontFace face = FontFace::Tahoma;
    int pointSizeX100 = 825;  // 8.25 pt
    bool bold = false;
    bool darkGrey = false;
    bool autoSize = false;  // sized to its text
    // A wrapped caption too tall for its box at `width` takes up to this width instead (twips;
    // 0: never), for texts longer in one language than the box was drawn for.
    int widestWidth = 0;
    bool centred = false;
    // One line, shortened in the middle when too long, so both ends of a path stay in view; the
    // whole text is the control's tooltip and accessible name.
    bool elideMiddle = false;
    bool takesFocus = false;  // reachable by the keyboard and by a click: buttons, boxes, lists
    bool editable = false;    // a combo box whose text may be typed
    int check = 0;            // a check box's start value: 0 clear, 1 ticked, 2 greyed
};

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 9225;
constexpr int kClientHeightTwips = 6360;
constexpr int kTabCount = 4;

class FormDesign {
public:
    static const std::vector<ControlSpec>& controls();
    static const ControlSpec* find(const std::string& name);
    // "pTab1_2", "lblP1Tab3_0"...: the name of an array member.
    static std::string member(const std::string& array, int index);
};

}  // namespace quenvor::ui
