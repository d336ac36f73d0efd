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

}  // namespace
}  // namespace quenvor::ui
