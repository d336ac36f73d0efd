#pragma once
// The "&" mark of a caption: the letter that Alt presses the control by, as both windows read it.
#include <string>
#include <vector>

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
    // The captions of the controls on one page, first the ones whose letter must not move: each
    // keeps its mark unless an earlier one holds that letter, and is then marked afresh. A
    // caption without a mark stays without.
    static std::vector<std::string> resolve(const std::vector<std::string>& captions);
};

}  // namespace quenvor::ui
