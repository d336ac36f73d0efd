#include "ui/Accelerator.h"

#include <gtest/gtest.h>

namespace quenvor::ui {
namespace {

TEST(Accelerator, MarksAFreeLetterOnceAndKeepsTheCallersOwnMark) {
    struct Case {
        const char* caption;
        const char* others;
        const char* marked;
        char key;
    };
    const Case cases[] = {
        {"Show what will be removed", "&Yes &No", "&Show what will be removed", 's'},
        {"Mostrar lo que se eliminará", "&Sí &No", "&Mostrar lo que se eliminará", 'm'},
        {"No more", "&Yes &No", "No &more", 'm'},            // a word's initial before an inner letter
        {"Nonny", "&Yes &No", "N&onny", 'o'},                // then any free letter
        {"&Details", "&Yes &Details", "&Details", 'd'},      // the caller's mark stands
        {"Salt & pepper", "&Salt", "Salt && &pepper", 'p'},  // a plain "&" stays plain
        {"Yn", "&Yes &No", "Yn", 0},                         // nothing free: no mark
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        const std::string marked = Accelerator::mark(c.caption, c.others);
        EXPECT_EQ(marked, c.marked);
        EXPECT_EQ(Accelerator::key(marked), c.key);
        EXPECT_EQ(Accelerator::plain(marked), Accelerator::key(c.caption) ? Accelerator::plain(c.caption) : c.caption);
    }
}

// The Spanish shredder page as it stood: choosing a file and quitting both on Alt+S, aborting and
// help both on Alt+A while a run goes on.
TEST(Accelerator, ALaterCaptionOnATakenLetterMovesToAFreeOne) {
    struct Case {
        std::vector<std::string> captions, resolved;
    };
    const Case cases[] = {
        {{"&Ayuda", "&Salir", "E&scojer un archivo", "Esco&jer una carpeta ", "&Borrar", "&Abortar"},
         {"&Ayuda", "&Salir", "&Escojer un archivo", "Esco&jer una carpeta ", "&Borrar", "Ab&ortar"}},
        {{"&Help", "&Quit", "Er&ase my tracks", "&Keep this site"},
         {"&Help", "&Quit", "Er&ase my tracks", "&Keep this site"}},
        {{"&Save", "Clear &history", "&Salt && pepper", "Plain"},
         {"&Save", "Clear &history", "Salt && &pepper", "Plain"}},
        {{"&Ab", "&Ba", "A&b"}, {"&Ab", "&Ba", "Ab"}},  // every letter held: no mark rather than a shared one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.captions.back());
        EXPECT_EQ(Accelerator::resolve(c.captions), c.resolved);
    }
}

}  // namespace
}  // namespace quenvor::ui
