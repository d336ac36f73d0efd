#include "ui/FormDesign.h"

#include <array>

#include "text/TextIds.h"

namespace quenvor::ui {
namespace {

ControlSpec make(std::string name, ControlKind kind, int l, int t, int w, int h, std::string caption = {}) {
    ControlSpec c;
    c.name = std::move(name);
    c.kind = kind;
    c.left = l;
    c.top = t;
    c.width = w;
    c.height = h;
    c.caption = std::move(caption);
    c.takesFocus = kind == ControlKind::Button || kind == ControlKind::CheckBox || kind == ControlKind::ComboBox ||
                   kind == ControlKind::ListBox;
    return c;
}

// A caption that names a text of the string table; StringTable::LocalizeCaptions puts the
// text in the current language in its place.
std::string textCaption(int id) { return std::to_string(id); }

// The tabs as drawn when not current; the current tab's hot area and caption stand higher
// by kRaise, its hot area growing upwards so its foot stays on the strip's base line.
struct TabPlace {
    int hotLeft, hotTop, hotWidth, hotHeight;
    int labelLeft, labelWidth;  // a width of 0: sized to its text
};
constexpr std::array<TabPlace, kTabCount> kTabs = {{
    {390, 510, 1905, 270, 465, 1755},
    {2295, 510, 1770, 270, 2430, 1560},
    {4140, 510, 1650, 285, 4240, 1410},
    {5865, 525, 1665, 270, 6555, 0},
}};
constexpr int kRaise = 45;
constexpr int kLabelTop = 555;
constexpr int kLabelHeight = 195;
constexpr std::array<int, kTabCount> kTabCaption = {text::EraseTracksTab, text::ShredderTab, text::SettingsTab,
                                                    text::AboutTab};

void addStrips(std::vector<ControlSpec>& v) {
    for (int i = 0; i < kTabCount; ++i) {
        const std::string strip = FormDesign::member("pTab1", i);
        v.push_back(make(strip, ControlKind::PictureBox, 5, i == 2 ? 15 : 10, 10665, 810));
        auto bitmap = make("imgTab" + std::to_string(i + 1), ControlKind::Image, 0, 0, 697 * kTwipsPerPixel, 810);
        bitmap.parent = strip;
        v.push_back(bitmap);
        for (int j = 0; j < kTabCount; ++j) {
            const int raise = j == i ? kRaise : 0;
            const auto& t = kTabs[static_cast<std::size_t>(j)];
            auto hot = make(FormDesign::member("imgP1Tab" + std::to_string(j + 1), i), ControlKind::Image, t.hotLeft,
                            t.hotTop - raise, t.hotWidth, t.hotHeight + raise);
            hot.parent = strip;
            v.push_back(hot);
        }
        for (int j = 0; j < kTabCount; ++j) {
            const bool current = j == i;
            const auto& t = kTabs[static_cast<std::size_t>(j)];
            auto lbl = make(FormDesign::member("lblP1Tab" + std::to_string(j + 1), i), ControlKind::Label, t.labelLeft,
                            kLabelTop - (current ? kRaise : 0), t.labelWidth, t.labelWidth ? kLabelHeight : 0,
                            textCaption(kTabCaption[static_cast<std::size_t>(j)]));
            lbl.parent = strip;
            lbl.bold = current;
            lbl.centred = true;
            lbl.autoSize = t.labelWidth == 0;
            v.push_back(lbl);
        }
    }
}

std::vector<ControlSpec> build() {
    std::vector<ControlSpec> v;
    addStrips(v);
    using K = ControlKind;

    auto title = make("lblTitle", K::Label, 2040, 1080, 4710, 255, textCaption(text::StartPageTitle));
    title.bold = true;
    v.push_back(title);
    auto start = make("lblStart", K::Label, 2040, 1440, 4695, 1555);
    start.darkGrey = true;
    v.push_back(start);
    auto recent = make("lblRecentFiles", K::Label, 2040, 3120, 0, 0, textCaption(text::VisitedSitesLabel));
    recent.bold = true;
    recent.autoSize = true;
    v.push_back(recent);
    auto lst2 = make("LstB2", K::ListBox, 2040, 3360, 4695, 615);
    lst2.face = FontFace::SansSerif;
    v.push_back(lst2);
    auto cookies = make("lblCookies", K::Label, 2040, 4200, 4575, 255, textCaption(text::CookiesListLabel));
    cookies.bold = true;
    cookies.darkGrey = true;
    v.push_back(cookies);
    auto lst3 = make("LstB3", K::ListBox, 2040, 4440, 4695, 615);
    lst3.face = FontFace::SansSerif;
    v.push_back(lst3);
    // Under the cookie list it acts on, clear of the buttons' column; off until a row is picked.
    auto keep = make("cmdKeep", K::Button, 2040, 5130, 1995, 425, textCaption(text::KeepSiteButton));
    keep.enabled = false;
    v.push_back(keep);
    v.push_back(make("cmdNext", K::Button, 7080, 5025, 1695, 425, textCaption(text::EraseTracksButton)));

    // Its foot stays above the method's caption; a longer text widens it over the buttons'
    // column instead, which lies lower.
    auto shredder = make("lblShredder", K::Label, 2040, 1440, 5895, 2235);
    shredder.widestWidth = 6735;
    shredder.darkGrey = true;
    shredder.visible = false;
    v.push_back(shredder);
    auto delSel = make("lblDeleteSel", K::Label, 2025, 3700, 1785, 195, textCaption(text::ShredLevelLabel));
    delSel.visible = false;
    v.push_back(delSel);
    auto secure = make("cmbSecure", K::ComboBox, 1992, 4020, 3330, 315);
    secure.visible = false;
    // The erase method may be typed; the language is only picked.
    secure.editable = true;
    v.push_back(secure);
    auto pb = make("pbCurrentPrgrs", K::ProgressBar, 1992, 4530, 3330, 300);
    pb.visible = false;
    v.push_back(pb);
    // Beside the level list and the bar rather than over the bar, so the status line, the
    // percentage and the bar never overlap; the status wraps onto a second line when long.
    auto status = make("lblStatus", K::Label, 5430, 4005, 1560, 510);
    status.visible = false;
    v.push_back(status);
    auto stat = make("lblStat", K::Label, 5430, 4575, 0, 0, "0%");
    stat.autoSize = true;
    stat.pointSizeX100 = 675;
    stat.visible = false;
    v.push_back(stat);
    auto file = make("cmdFile", K::Button, 3390, 5025, 1695, 425, textCaption(text::SelectFileButton));
    file.visible = false;
    v.push_back(file);
    auto folder = make("cmdFolder", K::Button, 5235, 5025, 1695, 425, textCaption(text::SelectFolderButton));
    folder.visible = false;
    v.push_back(folder);
    auto del = make("cmdDelete", K::Button, 7080, 5025, 1695, 425, textCaption(text::DeleteButton));
    del.face = FontFace::Arial;
    del.enabled = false;
    del.visible = false;
    v.push_back(del);
    auto cancel = make("cmdCancel", K::Button, 7080, 4470, 1695, 425, textCaption(text::AbortButton));
    cancel.visible = false;
    v.push_back(cancel);
    // What Delete would destroy, under the buttons and as wide as the page's column.
    auto chosen = make("lblChosen", K::Label, 2040, 5520, 6735, 210);
    chosen.elideMiddle = true;
    chosen.visible = false;
    v.push_back(chosen);
    // Shown only while several things are chosen: the whole choice, before anything goes.
    auto chosenList = make("cmdChosenList", K::Button, 2040, 5805, 2400, 425, textCaption(text::ShowChosenList));
    chosenList.visible = false;
    v.push_back(chosenList);
    // Under Delete, apart from the choose-and-delete row: it destroys nothing the user chose.
    auto wipeFree = make("cmdWipeFree", K::Button, 7080, 5805, 1695, 425, textCaption(text::WipeFreeSpaceButton));
    wipeFree.visible = false;
    v.push_back(wipeFree);

    auto settings = make("pSettings", K::PictureBox, 1950, 1500, 6761, 2565);
    settings.visible = false;
    settings.face = FontFace::SansSerif;
    v.push_back(settings);
    struct Chk {
        const char* name;
        int left, top, width;
        int caption;
    };
    const Chk chks[] = {
        {"chk1", 120, 120, 2905, text::ClearHistoryOption},  {"chk2", 120, 480, 2905, text::ClearInternetFilesOption},
        {"chk3", 120, 840, 2905, text::ClearFormDataOption}, {"chk4", 3300, 480, 2905, text::ClearCookiesOption},
        {"chk5", 3300, 840, 2905, text::ClearTempOption},    {"chk6", 3300, 150, 3200, text::ClearRecentFilesOption}};
    for (const auto& c : chks) {
        auto chk = make(c.name, K::CheckBox, c.left, c.top, c.width, 255, textCaption(c.caption));
        chk.parent = "pSettings";
        chk.face = FontFace::SansSerif;
        chk.check = chk.name == "chk1" ? 0 : 1;
        v.push_back(chk);
    }
    auto lang = make("cmbLanguage", K::ComboBox, 750, 1965, 2715, 315);
    lang.parent = "pSettings";
    lang.face = FontFace::SansSerif;
    v.push_back(lang);
    auto save = make("cmdSave", K::Button, 7080, 5025, 1695, 425, textCaption(text::SaveButton));
    save.visible = false;
    v.push_back(save);

    auto about = make("lblAbout", K::Label, 2040, 1470, 5655, 2715);
    about.darkGrey = true;
    about.visible = false;
    v.push_back(about);
    v.push_back(make("cmdHelp", K::Button, 7080, 3930, 1695, 425, textCaption(text::HelpButton)));
    v.push_back(make("cmdQuit", K::Button, 7080, 4470, 1695, 425, textCaption(text::QuitButton)));
    return v;
}

}  // namespace

const std::vector<ControlSpec>& FormDesign::controls() {
    static const std::vector<ControlSpec> table = build();
    return table;
}

const ControlSpec* FormDesign::find(const std::string& name) {
    for (const auto& c : controls())
        if (c.name == name) return &c;
    return nullptr;
}

std::string FormDesign::member(const std::string& array, int index) { return array + "_" + std::to_string(index); }

}  // namespace quenvor::ui
