#include "shell/KeepSites.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/ISettingsStore.h"
#include "shell/SettingsPage.h"
#include "text/TextIds.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

constexpr const char* kList = "LstB3";
constexpr const char* kButton = "cmdKeep";
constexpr const char* kKey = "KEEP";

}  // namespace

KeepSites::KeepSites(ui::IFormView& view, ui::StringTable& strings, platform::ISettingsStore* store,
                     ui::IUiServices& ui, ui::BusyState& busy, HandOver handOver)
    : m_view(view), m_strings(strings), m_store(store), m_ui(ui), m_busy(busy), m_handOver(std::move(handOver)) {}

void KeepSites::Load() {
    if (m_store) m_list = cleaning::common::KeepList::parse(m_store->read(kSettingsApp, kSettingsSection, kKey, ""));
    if (m_handOver) m_handOver(m_list);
}

std::string KeepSites::markText() const { return " " + m_strings.LoadLangString(text::KeptSiteMark); }

std::string KeepSites::hostOfRow(const std::string& shown, const std::string& mark) {
    std::string row = shown;
    if (row.ends_with(mark)) row.resize(row.size() - mark.size());
    // Only a cookie's row names a site ("Cookie:user@host/path"); the line left when the list
    // was emptied names none.
    if (!row.starts_with("Cookie") || row.find('@') == std::string::npos) return {};
    std::string host = cleaning::common::KeepList::hostOf(row);
    return host.find_first_of(" ;\t") == std::string::npos ? host : std::string();
}

std::string KeepSites::selectedHost() {
    const int index = m_view.listSelectedIndex(kList);
    return index < 0 ? std::string() : hostOfRow(m_view.listItem(kList, index), markText());
}

void KeepSites::MarkRows() {
    ui::guarded([&] {
        const std::string mark = markText();
        const auto rows = m_view.listItems(kList);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const bool marked = rows[i].ends_with(mark);
            if (!marked && m_list.empty()) continue;  // the usual start: nothing kept, nothing to read
            const std::string host = hostOfRow(rows[i], mark);
            if (host.empty() || marked == m_list.keeps(host)) continue;
            const std::string plain = marked ? rows[i].substr(0, rows[i].size() - mark.size()) : rows[i];
            m_view.setListItemText(kList, static_cast<int>(i), marked ? plain : plain + mark);
        }
    });
    ui::guarded([&] { showChoice(); });
}

void KeepSites::showChoice() {
    const std::string host = selectedHost();
    m_view.setEnabled(kButton, !host.empty() && !m_busy.any());
    m_view.setCaption(kButton, m_strings.LoadLangString(!host.empty() && m_list.keeps(host) ? text::ReleaseSiteButton
                                                                                            : text::KeepSiteButton));
}

void KeepSites::LstB3_Click() {
    ui::guarded([&] { showChoice(); });
}

void KeepSites::cmdKeep_Click() {
    if (m_busy.any()) return;
    const std::string host = selectedHost();
    if (!host.empty()) change(host, !m_list.keeps(host));
}

void KeepSites::LstB3_ContextMenu() {
    if (m_busy.any()) return;
    const std::string host = selectedHost();
    const bool kept = !host.empty() && m_list.keeps(host);
    const int pick = m_view.popupMenu(kList, {{m_strings.LoadLangString(text::KeepSiteButton), !host.empty() && !kept},
                                              {m_strings.LoadLangString(text::ReleaseSiteButton), kept}});
    if (pick == 0 && !host.empty() && !kept) change(host, true);
    if (pick == 1 && kept) change(host, false);
}

// A row keeps its own host; releasing one lets go of the entry that keeps it, which may be a
// parent domain kept for all its subdomains.
void KeepSites::change(const std::string& host, bool keep) {
    cleaning::common::KeepList next = m_list;
    if (keep) {
        next.add(host);
    } else if (const std::string* entry = next.entryKeeping(host)) {
        next.release(std::string(*entry));
    }
    const platform::Status stored = m_store ? m_store->write(kSettingsApp, kSettingsSection, kKey, next.serialize())
                                            : platform::Status(platform::Error{0, "no settings store"});
    if (!stored.ok()) {
        // The rows go on showing what a run will do.
        std::string said = m_strings.LoadLangString(keep ? text::KeepSiteNotSaved : text::ReleaseSiteNotSaved);
        said += "\r\n" + host;
        if (const auto reason = SettingsPage::reasonText(stored.error().code))
            said += "\r\n" + m_strings.LoadLangString(*reason);
        m_ui.messageBox(said, m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
        return;
    }
    m_list = std::move(next);
    if (m_handOver) m_handOver(m_list);
    MarkRows();
}

}  // namespace quenvor::shell
