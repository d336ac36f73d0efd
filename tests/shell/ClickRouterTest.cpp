// Each routed name against its handler called directly: two windows loaded alike, one clicked
// through the router and one through the handler, must end alike, and the click must show.
#include "shell/ClickRouter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "platform/IniProfileReader.h"
#include "platform/NativePlatform.h"
#include "platform/RegistryStore.h"
#include "shell/StartForm.h"
#include "shredder/ShredderPage.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "ui/FormDesign.h"

namespace quenvor::shell {
namespace {

using Handler = std::function<void(StartForm&)>;

// A loaded window whose every question is answered No, so nothing is cleaned or shredded.
struct Rig {
    test::TempDir dir;
    platform::EmbeddedStringResource strings;
    test::MemorySettingsStore settings;
    test::RecordingOpener opener;
    test::FixedFolders folders;
    test::ScriptedUi ui;
    test::FakeFormView view;
    platform::RegistryStore registry{dir / "registry.reg", &folders};
    platform::IniProfileReader profiles;
    std::unique_ptr<platform::IFileService> files = platform::NativePlatform::makeFileService();
    std::unique_ptr<platform::IRandomSource> random = platform::NativePlatform::makeRandomSource();
    std::unique_ptr<StartForm> form;

    Rig() {
        platform::PlatformServices s;
        s.strings = &strings;
        s.settings = &settings;
        s.opener = &opener;
        s.folders = &folders;
        s.files = files.get();
        s.random = random.get();
        s.registry = &registry;
        s.profiles = &profiles;
        form = std::make_unique<StartForm>(view, ui, s);
        form->Form_Load();
        ui.answers.assign(4, ui::MsgAnswer::No);
        view.log.clear();
        loaded = states();
    }
    std::vector<std::string> loaded;  // each control's state once loaded: a trace names what changed
    std::vector<std::string> states() {
        std::vector<std::string> t;
        for (const auto& name : view.controlNames())
            t.push_back(name + (view.isVisible(name) ? " shown" : " hidden") +
                        (view.isEnabled(name) ? "" : " disabled") + (view.isBold(name) ? " bold" : ""));
        return t;
    }
    // What a handler changed that a test can see, one line each.
    std::string trace() {
        std::string t;
        for (const auto& line : view.log) t += line + "\n";
        const auto now = states();
        for (std::size_t i = 0; i < now.size(); ++i)
            if (now[i] != loaded[i]) t += now[i] + "\n";
        auto* page = form->shredderPage();
        return t + std::to_string(ui.messages.size()) + " messages, " + std::to_string(ui.fileRequests.size()) +
               " file and " + std::to_string(ui.folderRequests.size()) + " folder dialogs, " +
               std::to_string(opener.opened.size()) + " opened, " + std::to_string(settings.writes.size()) +
               " writes, " + std::to_string(ui.endProgramCalls) + " ends" + (form->ending() ? ", ending" : "") +
               (form->settings().languageChanged() ? ", language changed" : "") +
               (page && page->abortRequested() ? ", abort" : "");
    }
};

void expectRouted(const std::string& name, const std::function<void(ClickRouter&)>& routed, const Handler& direct,
                  const std::function<void(Rig&)>& setUp = {}) {
    SCOPED_TRACE(name);
    Rig viaRouter, viaHandler;
    if (setUp) {
        setUp(viaRouter);
        setUp(viaHandler);
    }
    ClickRouter router(*viaRouter.form);
    const std::string before = viaRouter.trace();
    routed(router);
    direct(*viaHandler.form);
    EXPECT_NE(viaRouter.trace(), before);
    EXPECT_EQ(viaRouter.trace(), viaHandler.trace());
}

TEST(ClickRouterTest, EachNameReachesItsHandler) {
    using shredder::ShredderPage;
    const auto onPage = [](void (ShredderPage::*handler)()) {
        return [handler](StartForm& f) { (f.shredderPage()->*handler)(); };
    };
    std::vector<std::pair<std::string, Handler>> routes = {
        {"cmdHelp", [](StartForm& f) { f.cmdHelp_Click(); }},
        {"cmdNext", [](StartForm& f) { f.cmdNext_Click(); }},
        {"cmdQuit", [](StartForm& f) { f.cmdQuit_Click(); }},
        {"cmdSave", [](StartForm& f) { f.settings().cmdSave_Click(); }},
        {"cmbLanguage", [](StartForm& f) { f.settings().cmbLanguage_Click(); }},
        {"imgTab4", [](StartForm& f) { f.pages().imgTab4_Click(); }},
        {"cmdFile", onPage(&ShredderPage::cmdFile_Click)},
        {"cmdFolder", onPage(&ShredderPage::cmdFolder_Click)},
        {"cmdDelete", onPage(&ShredderPage::cmdDelete_Click)},
        {"cmdCancel", onPage(&ShredderPage::cmdCancel_Click)},
        {"cmdWipeFree", onPage(&ShredderPage::cmdWipeFree_Click)}};
    // Abort does something only while a shred goes on.
    const auto duringShred = [](Rig& r) { r.form->busy().begin(ui::BusyState::Run::Shred); };
    for (int strip = 0; strip < ui::kTabCount; ++strip) {
        for (int tab = 1; tab <= ui::kTabCount; ++tab) {
            const std::string n = std::to_string(tab);
            routes.emplace_back(ui::FormDesign::member("imgP1Tab" + n, strip), [tab](StartForm& f) {
                f.pages().imgP1Tab_Click(tab);
                f.shredderPage()->showChoice();
            });
            routes.emplace_back(ui::FormDesign::member("lblP1Tab" + n, strip), [tab](StartForm& f) {
                f.pages().lblP1Tab_Click(tab);
                f.shredderPage()->showChoice();
            });
        }
    }
    Rig rig;
    const ClickRouter router(*rig.form);
    for (const auto& route : routes) {
        const std::string& name = route.first;
        // The windows forward a click on a picture, caption or list only when it is routed.
        EXPECT_TRUE(router.routes(name)) << name;
        expectRouted(
            name, [&](ClickRouter& r) { r.click(name); }, route.second,
            name == "cmdCancel" ? std::function<void(Rig&)>(duringShred) : nullptr);
    }
}

TEST(ClickRouterTest, ThePointerBoldsTheTabItIsOver) {
    for (int strip = 0; strip < ui::kTabCount; ++strip) {
        for (int tab = 1; tab <= ui::kTabCount; ++tab) {
            for (const char* array : {"imgP1Tab", "lblP1Tab"}) {
                const std::string name = ui::FormDesign::member(array + std::to_string(tab), strip);
                expectRouted(
                    name, [&](ClickRouter& r) { r.pointerOver(name); },
                    [tab](StartForm& f) { f.pages().P1Tab_MouseMove(tab); });
            }
        }
    }
    Rig rig;
    const std::string before = rig.trace();
    ClickRouter(*rig.form).pointerOver("lblTitle");
    EXPECT_EQ(rig.trace(), before);
}

// Every button is forwarded as it is clicked: each must have a handler. Anything else is a
// fault of the window, which stops a debug build.
TEST(ClickRouterTest, EveryButtonIsRoutedAndAnUnknownNameIsAFault) {
    Rig rig;
    ClickRouter router(*rig.form);
    for (const auto& design : ui::FormDesign::controls())
        EXPECT_TRUE(design.kind != ui::ControlKind::Button || router.routes(design.name)) << design.name;
    EXPECT_FALSE(router.routes("lblTitle"));
    EXPECT_FALSE(router.routes("imgP1Tab5_0"));
    const std::string before = rig.trace();
    EXPECT_DEBUG_DEATH(router.click("lblTitle"), "lblTitle");
    EXPECT_EQ(rig.trace(), before);
}

}  // namespace
}  // namespace quenvor::shell
