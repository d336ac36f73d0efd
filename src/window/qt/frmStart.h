#pragma once
// The one window of the program: widgets built from the form design, wired to the page
// logic, which reaches them back through IFormView.
#include <QPoint>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"
#include "shell/ClickRouter.h"
#include "shell/StartForm.h"
#include "ui/IFormView.h"
#include "ui/PageOrder.h"

namespace quenvor::window {

class PageTabs;

class frmStart : public QWidget, public ui::IFormView {
    Q_OBJECT
public:
    frmStart(ui::IUiServices& ui, platform::PlatformServices services, QWidget* parent = nullptr);
    ~frmStart() override;

    // The widget's own members stay reachable beside the by-name ones of IFormView.
    using QWidget::isEnabled;
    using QWidget::isVisible;
    using QWidget::setEnabled;
    using QWidget::setVisible;

    shell::StartForm& logic() { return *m_logic; }
    QWidget* control(const std::string& name) const;

    // IFormView
    std::vector<std::string> controlNames() override;
    std::optional<std::string> caption(const std::string& name) override;
    void setCaption(const std::string& name, const std::string& text) override;
    void setWindowCaption(const std::string& text) override;
    void closeWindow() override;
    void setVisible(const std::string& name, bool visible) override;
    bool isVisible(const std::string& name) override;
    void setEnabled(const std::string& name, bool enabled) override;
    bool isEnabled(const std::string& name) override;
    void setBold(const std::string& name, bool bold) override;
    bool isBold(const std::string& name) override;
    void bringToFront(const std::string& name) override;
    void setTabStop(const std::string& name, bool on) override;
    void applyTabOrder(const std::vector<std::string>& order) override;
    void clearList(const std::string& name) override;
    void addListItem(const std::string& name, const std::string& text) override;
    std::vector<std::string> listItems(const std::string& name) override;
    void setListItems(const std::string& name, const std::vector<std::string>& items) override;
    std::string listItem(const std::string& name, int index) override;
    void setListItemText(const std::string& name, int index, const std::string& text) override;
    int listSelectedIndex(const std::string& name) override;
    int popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) override;
    void addComboItem(const std::string& name, const std::string& text) override;
    void setComboText(const std::string& name, const std::string& text) override;
    std::string comboText(const std::string& name) override;
    int comboSelectedIndex(const std::string& name) override;
    void setComboSelectedIndex(const std::string& name, int index) override;
    void setComboItemData(const std::string& name, int index, std::int32_t value) override;
    std::int32_t comboItemData(const std::string& name, int index) override;
    int checkValue(const std::string& name) override;
    void setCheckValue(const std::string& name, int value) override;
    void setProgressMax(const std::string& name, std::int64_t max) override;
    std::int64_t progressMax(const std::string& name) override;
    void setProgressValue(const std::string& name, std::int64_t value) override;
    std::int64_t progressValue(const std::string& name) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Files and folders dragged from the file manager become the File Shredder's choice, while
    // its page is shown and idle.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void connectPageKeys();
    void paintControlsFromPalette();
    // Shows `page` as a click on its tab would.
    void showPage(int page);
    // After a page was shown: the tab list follows, and the page's first control takes the
    // keyboard unless the tab list has it.
    void pageShown();
    QWidget* firstOfPage() const;
    // No two shown controls on one letter: a page's own control yields to a window-wide one.
    void resolveAccelerators();
    // Names the control that `label` captions after the label's text.
    void nameByCaption(const std::string& label, const QString& text);
    template <class T>
    T* as(const std::string& name) const;

    std::map<std::string, QWidget*> m_controls;
    PageTabs* m_tabs = nullptr;
    std::vector<std::string> m_order;  // the keyboard order the pages last gave
    bool m_pageFocused = false;        // the first page shown has given the keyboard to a control
    bool m_byKeyboard = false;         // the page being shown was asked for by a key
    std::vector<std::string> m_names;
    std::map<std::string, std::int64_t> m_progressMax;  // the bar's own maximum is int-sized
    QPoint m_menuAt;                                    // where the context menu asked for opens
    std::unique_ptr<shell::StartForm> m_logic;
    std::unique_ptr<shell::ClickRouter> m_clicks;
};

}  // namespace quenvor::window
