#pragma once
// The sites whose cookies and site data a run keeps, chosen on page one's cookie list: a row is
// kept or released by the button under the list or by the list's context menu, and every row
// of a kept site says so in its text, which is also what a screen reader reads. The choice is
// stored at once and handed to the run; a choice that could not be stored is said and not shown.
#include <functional>
#include <string>

#include "cleaning/common/KeepList.h"

namespace quenvor::platform {
class ISettingsStore;
}

namespace quenvor::ui {
class BusyState;
class IFormView;
class IUiServices;
class StringTable;
}  // namespace quenvor::ui

namespace quenvor::shell {

class KeepSites {
public:
    using HandOver = std::function<void(const cleaning::common::KeepList&)>;

    KeepSites(ui::IFormView& view, ui::StringTable& strings, platform::ISettingsStore* store, ui::IUiServices& ui,
              ui::BusyState& busy, HandOver handOver);

    // At start: the stored list, handed to the run.
    void Load();
    // Once the cookie list has been filled anew: each row marked as its site is kept or not.
    void MarkRows();
    // The picked row changed: the button names what it would do to that row's site.
    void LstB3_Click();
    void cmdKeep_Click();
    void LstB3_ContextMenu();

    const cleaning::common::KeepList& list() const { return m_list; }

private:
    std::string markText() const;
    // The site of a cookie row as listed (with the mark or without), "" for a row that names none.
    static std::string hostOfRow(const std::string& shown, const std::string& mark);
    std::string selectedHost();
    void showChoice();
    void change(const std::string& host, bool keep);

    ui::IFormView& m_view;
    ui::StringTable& m_strings;
    platform::ISettingsStore* m_store;
    ui::IUiServices& m_ui;
    ui::BusyState& m_busy;
    HandOver m_handOver;
    cleaning::common::KeepList m_list;
};

}  // namespace quenvor::shell
