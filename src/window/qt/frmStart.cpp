#include "window/qt/frmStart.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleFactory>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "shredder/ShredderPage.h"
#include "text/TextIds.h"
#include "ui/Accelerator.h"
#include "ui/FormDesign.h"
#include "window/qt/ChoiceList.h"
#include "window/qt/ChoiceListAccessible.h"
#include "window/qt/HotLabel.h"
#include "window/qt/OptionBox.h"
#include "window/qt/PageTabs.h"
#include "window/qt/PageTabsAccessible.h"
#include "window/qt/Palette.h"
#include "window/qt/QtText.h"
#include "window/qt/RowList.h"
#include "window/qt/RowView.h"
#include "window/qt/SideBand.h"
#include "window/qt/TabStripPicture.h"

namespace quenvor::window {
namespace {

using ui::ControlKind;
using ui::ControlSpec;
using ui::FormDesign;
using ui::kTwipsPerPixel;

int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr int kStripsHeight = 54;                     // pixels: the band starts below the tab strips
constexpr int kSideBandWidth = 124;                   // pixels: clear of the page's controls
constexpr const char* kFullText = "quenvorFullText";  // a shortened caption's whole text
constexpr const char* kCaption = "quenvorCaption";    // a caption as the logic set it, marks and all

// The labels that say what a control without a caption of its own is for.
const std::map<std::string, std::string> kCaptionOf = {
    {"lblRecentFiles", "LstB2"}, {"lblCookies", "LstB3"}, {"lblDeleteSel", "cmbSecure"}};

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&PageTabsAccessible::factory);
        QAccessible::installFactory(&ChoiceListAccessible::factory);
        return true;
    }();
    (void)installed;
}

QFont fontFor(const ControlSpec& c) {
    QFont f;
    switch (c.face) {
        case ui::FontFace::Tahoma:
        case ui::FontFace::SansSerif:
            f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
            break;
        case ui::FontFace::Arial:
            f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Tahoma")});
            break;
    }
    // Point sizes are meant at 96 dots per inch: 8.25 pt is 11 pixels.
    f.setPixelSize(c.pointSizeX100 * 96 / 7200 + ((c.pointSizeX100 * 96 % 7200) >= 3600 ? 1 : 0));
    f.setBold(c.bold);
    return f;
}

Qt::CheckState checkState(int value) {
    return value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked;
}

// Qt makes Tahoma and its synthesised bold of one size from one shared FreeType face, and
// whichever of the two is measured first gets a line one pixel shorter. Measuring the bold
// first keeps the running text at the 11-pixel lines it was laid out for, whichever control
// happens to be sized first.
void measureBoldFirst() {
    ControlSpec bold;
    bold.bold = true;
    (void)QFontMetrics(fontFor(bold)).lineSpacing();
}

}  // namespace

frmStart::frmStart(ui::IUiServices& ui, platform::PlatformServices services, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmStart"));
    setFixedSize(px(ui::kClientWidthTwips), px(ui::kClientHeightTwips));
    setWindowTitle(QString::number(text::AppTitle));  // the start form names it in the current language
    setPalette(Palette::window());
    setAcceptDrops(true);
    installAccessibility();
    measureBoldFirst();
    // Made first, so every control lies above it.
    (new SideBand(this))->setGeometry(0, kStripsHeight, kSideBandWidth, height() - kStripsHeight);
    m_tabs = new PageTabs(this);
    m_tabs->setGeometry(0, 0, width(), kStripsHeight + 2);
    buildControls();
    paintControlsFromPalette();
    m_logic = std::make_unique<shell::StartForm>(*this, ui, services);
    m_logic->setOwnerHandle(static_cast<std::uintptr_t>(winId()));
    connectHandlers();
    connectPageKeys();
}

frmStart::~frmStart() = default;

void frmStart::buildControls() {
    for (const auto& c : FormDesign::controls()) {
        // The strips lie in the tab list, which stands for all four of them.
        QWidget* parent = !c.parent.empty()                ? m_controls.at(c.parent)
                          : c.name.rfind("pTab1_", 0) == 0 ? static_cast<QWidget*>(m_tabs)
                                                           : this;
        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::PictureBox: {
                auto* box = new QWidget(parent);
                if (c.name == "pSettings") {
                    box->setAutoFillBackground(true);
                    QPalette pal = box->palette();
                    pal.setColor(QPalette::Window, Qt::white);
                    box->setPalette(pal);
                } else {
                    box->setAttribute(Qt::WA_TranslucentBackground);
                }
                w = box;
                break;
            }
            case ControlKind::Image:
                if (c.name.rfind("imgTab", 0) == 0) {
                    w = new TabStripPicture(c.name.back() - '1', parent);
                } else {
                    w = new HotLabel(parent);
                    w->setCursor(Qt::PointingHandCursor);
                }
                break;
            case ControlKind::Label: {
                auto* l = new HotLabel(parent);
                l->setText(qs(c.caption));
                l->setWordWrap(!c.autoSize && !c.elideMiddle);
                l->setAlignment(c.centred ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
                if (c.name.rfind("lblP1Tab", 0) == 0) l->setCursor(Qt::PointingHandCursor);
                w = l;
                break;
            }
            case ControlKind::Button:
                w = new QPushButton(qs(c.caption), parent);
                break;
            case ControlKind::CheckBox: {
                auto* chk = new OptionBox(qs(c.caption), parent);
                chk->setCheckState(checkState(c.check));
                w = chk;
                break;
            }
            case ControlKind::ComboBox: {
                auto* combo = new ChoiceList(parent);
                combo->setEditable(c.editable);
                w = combo;
                break;
            }
            case ControlKind::ListBox:
                w = new RowView(parent);
                break;
            case ControlKind::ProgressBar: {
                auto* bar = new QProgressBar(parent);
                bar->setTextVisible(false);
                bar->setRange(0, 100);
                bar->setValue(0);
                w = bar;
                break;
            }
        }
        w->setObjectName(qs(c.name));
        if (qobject_cast<QAbstractButton*>(w)) w->setProperty(kCaption, qs(c.caption));
        w->setFont(fontFor(c));
        if (c.darkGrey) {
            QPalette pal = w->palette();
            pal.setColor(QPalette::WindowText, Palette::darkGrey());
            w->setPalette(pal);
        }
        w->move(px(c.left), px(c.top));
        if (c.autoSize) {
            w->adjustSize();
        } else {
            w->resize(px(c.width), px(c.height));
        }
        if (c.takesFocus) w->setFocusPolicy(Qt::StrongFocus);
        w->setEnabled(c.enabled);
        w->setVisible(c.visible);
        m_controls[c.name] = w;
        m_names.push_back(c.name);
    }
}

// Each control only says what happened to it; the router knows what answers. Every button is
// forwarded, the pictures, captions and lists only where a click has a handler.
void frmStart::connectHandlers() {
    m_clicks = std::make_unique<shell::ClickRouter>(*m_logic);
    auto& clicks = *m_clicks;
    for (const auto& name : m_names) {
        QWidget* w = m_controls.at(name);
        const auto click = [this, name] {
            m_clicks->click(name);
            if (name == "cmdQuit" && m_logic->ending()) hide();
        };
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            connect(button, &QPushButton::clicked, this, click);
        } else if (auto* label = qobject_cast<HotLabel*>(w)) {
            if (clicks.routes(name)) connect(label, &HotLabel::clicked, this, click);
            connect(label, &HotLabel::hovered, this, [&clicks, name] { clicks.pointerOver(name); });
        } else if (auto* strip = qobject_cast<TabStripPicture*>(w); strip && clicks.routes(name)) {
            connect(strip, &TabStripPicture::clicked, this, click);
        } else if (auto* list = qobject_cast<ChoiceList*>(w); list && clicks.routes(name)) {
            connect(list, &QComboBox::activated, this, click);
        } else if (auto* rows = qobject_cast<RowView*>(w)) {
            // A list says when its picked row changed, and when its context menu is asked for.
            if (clicks.routes(name))
                connect(rows->selectionModel(), &QItemSelectionModel::selectionChanged, this, click);
            if (clicks.routesMenu(name))
                connect(rows, &QWidget::customContextMenuRequested, this, [this, rows, name](const QPoint& at) {
                    m_menuAt = rows->viewport()->mapToGlobal(at);
                    m_clicks->contextMenu(name);
                });
        }
    }
}

// A style with dark colours of its own (Adwaita-Dark) paints buttons and boxes dark whatever
// palette they are given, under the window's dark texts. Fusion paints them from the palette,
// so the window's controls take it under such a style; under any other the desktop's stays.
void frmStart::paintControlsFromPalette() {
    if (style()->standardPalette().color(QPalette::Window).lightness() >= 128) return;
    static QStyle* const fromPalette = [] {
        QStyle* s = QStyleFactory::create(QStringLiteral("Fusion"));
        s->setParent(qApp);
        return s;
    }();
    // A list's drop-down is made when first needed; made now, it takes the style too.
    for (auto* list : findChildren<ChoiceList*>()) (void)list->view();
    setStyle(fromPalette);
    for (auto* w : findChildren<QWidget*>()) w->setStyle(fromPalette);
}

// As desktop tab widgets do: Ctrl+Tab and Ctrl+PageDown forward, Ctrl+Shift+Tab and
// Ctrl+PageUp back, round and round; the tab list's own arrows stop at its ends.
void frmStart::connectPageKeys() {
    connect(m_tabs, &PageTabs::pageRequested, this, &frmStart::showPage);
    const auto keys = [this](std::initializer_list<QKeySequence> sequences, ui::PageStep step) {
        for (const auto& sequence : sequences)
            connect(new QShortcut(sequence, this), &QShortcut::activated, this,
                    [this, step] { showPage(ui::PageOrder::step(ui::PageOrder::shown(*this), step)); });
    };
    keys({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, ui::PageStep::Next);
    // Shift turns Tab into Backtab on some systems and not on others; one of the two matches.
    keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
          QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
         ui::PageStep::Previous);
}

void frmStart::showPage(int page) {
    const int shown = ui::PageOrder::shown(*this);
    if (page == shown) return;
    m_byKeyboard = true;
    m_clicks->click(ui::PageOrder::tabCaption(page, shown));
    m_byKeyboard = false;
}

void frmStart::pageShown() {
    const int page = ui::PageOrder::shown(*this);
    const bool moved = page != m_tabs->current() || !m_pageFocused;
    m_tabs->setCurrent(page);
    resolveAccelerators();
    if (m_tabs->accessibleName().isEmpty()) {
        // The language is known by the time a page is first shown.
        m_tabs->setAccessibleName(qs(m_logic->strings().LoadLangString(text::PageTabsName)));
        control("pbCurrentPrgrs")->setAccessibleName(qs(m_logic->strings().LoadLangString(text::ShredProgressName)));
    }
    QWidget* focused = focusWidget();
    // Keys on the tab list leave it there, as on a tab bar; a click goes on to the page.
    if (focused == m_tabs && m_byKeyboard) return;
    if (moved || !focused || !focused->isVisibleTo(this)) {
        if (QWidget* first = firstOfPage()) {
            first->setFocus(Qt::TabFocusReason);
            m_pageFocused = true;
        }
    }
}

QWidget* frmStart::firstOfPage() const {
    for (const auto& name : m_order) {
        const auto* design = FormDesign::find(name);
        if (!design || !design->takesFocus) continue;
        QWidget* w = control(name);
        if (w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) return w;
    }
    return nullptr;
}

void frmStart::resolveAccelerators() {
    std::vector<QAbstractButton*> shown;
    const auto add = [&](const std::string& name) {
        auto* b = qobject_cast<QAbstractButton*>(control(name));
        if (b && b->isVisibleTo(this) && std::find(shown.begin(), shown.end(), b) == shown.end()) shown.push_back(b);
    };
    for (const auto& name : ui::PageOrder::everyPage()) add(name);
    for (const auto& name : m_order) add(name);
    for (const auto& name : m_names) add(name);
    std::vector<std::string> captions;
    captions.reserve(shown.size());
    for (auto* b : shown) {
        captions.push_back(us(b->property(kCaption).toString()));
    }
    const auto resolved = ui::Accelerator::resolve(captions);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QString text = displayText(resolved[i]);
        if (shown[i]->text() != text) shown[i]->setText(text);
    }
}

void frmStart::nameByCaption(const std::string& label, const QString& text) {
    if (const auto it = kCaptionOf.find(label); it != kCaptionOf.end())
        control(it->second)->setAccessibleName(qs(ui::Accelerator::plain(us(text))));
}

QWidget* frmStart::control(const std::string& name) const {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) throw std::out_of_range("no control named " + name);
    return it->second;
}

template <class T>
T* frmStart::as(const std::string& name) const {
    auto* w = qobject_cast<T*>(control(name));
    if (!w) throw std::invalid_argument(name + " is not that kind of control");
    return w;
}

std::vector<std::string> frmStart::controlNames() { return m_names; }

std::optional<std::string> frmStart::caption(const std::string& name) {
    QWidget* w = control(name);
    const auto* design = FormDesign::find(name);
    if (!design) return std::nullopt;
    switch (design->kind) {
        case ControlKind::Label:
            // A shortened caption is only how it is drawn: the logic gets back what it set.
            if (design->elideMiddle) return us(w->property(kFullText).toString());
            return us(qobject_cast<QLabel*>(w)->text());
        case ControlKind::Button:
        case ControlKind::CheckBox:
            // The letter it is shown on may have moved to keep clear of another control's.
            return us(w->property(kCaption).toString());
        default:
            return std::nullopt;
    }
}

void frmStart::setCaption(const std::string& name, const std::string& text) {
    QWidget* w = control(name);
    if (auto* l = qobject_cast<QLabel*>(w)) {
        const auto* design = FormDesign::find(name);
        if (design && design->elideMiddle) {
            const QString full = displayText(text);
            l->setProperty(kFullText, full);
            l->setToolTip(full);
            l->setAccessibleName(full);
            l->setText(l->fontMetrics().elidedText(full, Qt::ElideMiddle, l->contentsRect().width()));
            return;
        }
        l->setText(displayText(text));
        nameByCaption(name, l->text());
        if (design && design->autoSize) l->adjustSize();
        if (design && design->widestWidth > design->width) {
            const bool tooTall = l->heightForWidth(px(design->width)) > px(design->height);
            l->resize(px(tooTall ? design->widestWidth : design->width), px(design->height));
        }
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setProperty(kCaption, qs(text));
        b->setText(displayText(text));
        resolveAccelerators();
    } else {
        throw std::invalid_argument(name + " has no caption");
    }
}

void frmStart::setWindowCaption(const std::string& text) { setWindowTitle(qs(text)); }

void frmStart::closeWindow() { close(); }

void frmStart::setVisible(const std::string& name, bool visible) {
    QWidget* w = control(name);
    w->setVisible(visible);
    if (qobject_cast<QAbstractButton*>(w)) resolveAccelerators();
}
bool frmStart::isVisible(const std::string& name) { return !control(name)->isHidden(); }
void frmStart::setEnabled(const std::string& name, bool enabled) { control(name)->setEnabled(enabled); }
bool frmStart::isEnabled(const std::string& name) { return control(name)->isEnabled(); }

void frmStart::setBold(const std::string& name, bool bold) {
    QWidget* w = control(name);
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
    // A caption sized to its text grows with a bold face.
    const auto* design = FormDesign::find(name);
    if (design && design->autoSize) w->adjustSize();
}

bool frmStart::isBold(const std::string& name) { return control(name)->font().bold(); }
void frmStart::bringToFront(const std::string& name) { control(name)->raise(); }

void frmStart::setTabStop(const std::string& name, bool on) {
    const auto* design = FormDesign::find(name);
    if (!design || !design->takesFocus) return;
    control(name)->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void frmStart::applyTabOrder(const std::vector<std::string>& order) {
    m_order = order;
    // The tab list comes first, as a tab bar comes before its page.
    QWidget* previous = m_tabs;
    for (const auto& name : order) {
        const auto* design = FormDesign::find(name);
        if (!design || !design->takesFocus) continue;
        QWidget* w = control(name);
        QWidget::setTabOrder(previous, w);
        previous = w;
    }
    pageShown();
}

void frmStart::clearList(const std::string& name) { as<RowView>(name)->rows().setRows({}); }
void frmStart::addListItem(const std::string& name, const std::string& text) { as<RowView>(name)->rows().append(text); }
std::vector<std::string> frmStart::listItems(const std::string& name) { return as<RowView>(name)->rows().rows(); }

void frmStart::setListItems(const std::string& name, const std::vector<std::string>& items) {
    as<RowView>(name)->rows().setRows(items);
}

std::string frmStart::listItem(const std::string& name, int index) {
    const auto& rows = as<RowView>(name)->rows().rows();
    return index >= 0 && static_cast<std::size_t>(index) < rows.size() ? rows[static_cast<std::size_t>(index)]
                                                                       : std::string();
}

void frmStart::setListItemText(const std::string& name, int index, const std::string& text) {
    as<RowView>(name)->rows().setRow(index, text);
}

int frmStart::listSelectedIndex(const std::string& name) {
    const auto picked = as<RowView>(name)->selectionModel()->selectedRows();
    return picked.isEmpty() ? -1 : picked.first().row();
}

int frmStart::popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) {
    auto* list = as<RowView>(name);
    // Asked for by the logic alone (not by the user): under the current row.
    if (m_menuAt.isNull()) m_menuAt = list->viewport()->mapToGlobal(list->keyboardMenuPoint());
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu") + qs(name));
    std::vector<QAction*> actions;
    for (const auto& c : choices) {
        actions.push_back(menu.addAction(displayText(c.text)));
        actions.back()->setEnabled(c.enabled);
    }
    const QAction* taken = menu.exec(std::exchange(m_menuAt, QPoint()));
    const auto it = std::find(actions.begin(), actions.end(), taken);
    return taken && it != actions.end() ? static_cast<int>(it - actions.begin()) : -1;
}

void frmStart::addComboItem(const std::string& name, const std::string& text) {
    auto* combo = as<ChoiceList>(name);
    const bool noSelection = combo->currentIndex() < 0;
    const QString shown = combo->isEditable() ? combo->currentText() : QString();
    combo->addItem(qs(text));
    // Adding the first item must not select it behind the user's back.
    if (noSelection) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) combo->setEditText(shown);
    }
}

void frmStart::setComboText(const std::string& name, const std::string& text) {
    auto* combo = as<ChoiceList>(name);
    if (combo->isEditable()) {
        combo->setEditText(qs(text));
    } else {
        combo->setCurrentIndex(-1);
        combo->setPlaceholderText(qs(text));
        // The word it shows before a pick says what the list is for, after the pick too.
        combo->setAccessibleName(qs(text));
    }
}

std::string frmStart::comboText(const std::string& name) {
    auto* combo = as<ChoiceList>(name);
    if (!combo->isEditable() && combo->currentIndex() < 0) return us(combo->placeholderText());
    return us(combo->currentText());
}

int frmStart::comboSelectedIndex(const std::string& name) {
    auto* combo = as<ChoiceList>(name);
    const int index = combo->currentIndex();
    // Text typed over the item is no selection.
    if (combo->isEditable() && index >= 0 && combo->currentText() != combo->itemText(index)) return -1;
    return index;
}
void frmStart::setComboSelectedIndex(const std::string& name, int index) {
    as<ChoiceList>(name)->setCurrentIndex(index);
}

void frmStart::setComboItemData(const std::string& name, int index, std::int32_t value) {
    as<ChoiceList>(name)->setItemData(index, value);
}

std::int32_t frmStart::comboItemData(const std::string& name, int index) {
    return as<ChoiceList>(name)->itemData(index).toInt();
}

int frmStart::checkValue(const std::string& name) {
    switch (as<OptionBox>(name)->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        default:
            return 2;
    }
}

void frmStart::setCheckValue(const std::string& name, int value) {
    auto* chk = as<OptionBox>(name);
    chk->setCheckState(checkState(value));
}

// The bar counts in int; large maxima are scaled so any 64-bit count can be shown.
void frmStart::setProgressMax(const std::string& name, std::int64_t max) {
    m_progressMax[name] = max;
    auto* bar = as<QProgressBar>(name);
    bar->setRange(0, static_cast<int>(std::min<std::int64_t>(max, std::numeric_limits<int>::max())));
}

std::int64_t frmStart::progressMax(const std::string& name) {
    auto it = m_progressMax.find(name);
    return it == m_progressMax.end() ? as<QProgressBar>(name)->maximum() : it->second;
}

void frmStart::setProgressValue(const std::string& name, std::int64_t value) {
    auto* bar = as<QProgressBar>(name);
    const std::int64_t max = progressMax(name);
    const std::int64_t shownMax = bar->maximum();
    const std::int64_t shown = max > shownMax && max > 0 ? value * shownMax / max : value;
    bar->setValue(static_cast<int>(std::clamp<std::int64_t>(shown, 0, shownMax)));
    bar->setProperty("quenvorValue", QVariant::fromValue<qlonglong>(value));
}

std::int64_t frmStart::progressValue(const std::string& name) {
    const QVariant v = as<QProgressBar>(name)->property("quenvorValue");
    return v.isValid() ? v.toLongLong() : as<QProgressBar>(name)->value();
}

void frmStart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Palette::page());
    // A thin rule under the page title.
    p.setPen(QPen(QColor(200, 210, 222), 1));
    p.drawLine(QPointF(136, 90.5), QPointF(width() - 30, 90.5));
}

void frmStart::closeEvent(QCloseEvent* event) {
    if (!m_logic->ending()) {
        if (!m_logic->QueryUnload()) {
            event->ignore();
            return;
        }
        m_logic->Form_Unload();
    }
    event->accept();
}

namespace {

// Only files of this machine: a link to a web page or a remote share is not something to shred.
std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
        paths.push_back(path.toStdString());
    }
    return paths;
}

}  // namespace

void frmStart::dragEnterEvent(QDragEnterEvent* event) {
    auto* page = m_logic->shredderPage();
    if (page && page->canChoose() && !droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void frmStart::dragMoveEvent(QDragMoveEvent* event) {
    auto* page = m_logic->shredderPage();
    if (page && page->canChoose())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmStart::dropEvent(QDropEvent* event) {
    auto* page = m_logic->shredderPage();
    const auto paths = droppedFiles(event->mimeData());
    if (page && !paths.empty() && page->choose(paths)) {
        event->acceptProposedAction();
        activateWindow();
    } else {
        event->ignore();
    }
}

}  // namespace quenvor::window
