#pragma once
// The "&" mark of a caption: the letter that Alt presses the control by, as both windows read it.
#include <string>

namespace quenvor::ui {

class Accelerator {
public:
    // The marked letter of `caption`, lower case, or 0 when it marks none ("&&" is a plain "&").
    static char key(const std::string& caption);
    // `caption` without its marks, as a screen reader or a tooltip should say it.
    static std::string plain(const std::string& caption);
    // `caption` as it is when it marks a letter; otherwise marked on the first letter of a word,
    // then on any letter, that no caption in `others` marks already. Left unmarked when every
    // letter is taken: two controls on one key would make the key pick the wrong one.
    static std::string mark(const std::string& caption, const std::string& others);
};

}  // namespace quenvor::ui
