#include <cstdio>
#include <cstdlib>

#include "app/DisplayCheck.h"
#include "platform/EmbeddedStringResource.h"
#include "shell/SettingsPage.h"
#include "text/TextIds.h"
#include "ui/NumberText.h"
#include "ui/StringTable.h"
#include "window/qt/Main.h"
#include "window/qt/QtSettingsStore.h"

namespace {

// Said on the terminal in the language the window would use.
void sayNoDisplay() {
    quenvor::window::QtSettingsStore settings;
    quenvor::platform::EmbeddedStringResource resource;
    quenvor::ui::StringTable strings(&resource, nullptr);
    strings.setLanguage(quenvor::ui::kEnglish);
    if (const auto id = quenvor::ui::toInt32(
            settings.read(quenvor::shell::kSettingsApp, quenvor::shell::kSettingsSection, "LANGUAGE", "1053")))
        strings.setLanguage(*id);
    std::fprintf(stderr, "quenvor: %s\n", strings.LoadLangString(quenvor::text::NoDisplayFound).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (!quenvor::app::displayAvailable([](const char* name) { return std::getenv(name); })) {
        sayNoDisplay();
        return 1;
    }
    return quenvor::window::Main(argc, argv);
}
