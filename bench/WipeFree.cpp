// Wipes the free space of the filesystem holding one folder, as the page's button does, without a
// window: for measuring time, memory and what is left on a raw image (bench/wipe-free.sh).
//   quenvor_wipe_free FOLDER
#include <chrono>
#include <cstdio>

#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxFreeSpace.h"
#include "platform/linux/LinuxRandomSource.h"
#include "platform/linux/LinuxStorageProbe.h"
#include "shredder/FreeSpaceWipe.h"

namespace {

// Says when each step began, so a slow run shows which part was slow.
struct Quiet : quenvor::shredder::IWipeEvents {
    std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    void wipeStep(quenvor::shredder::WipeStep step) override {
        static constexpr const char* kNames[] = {"fill", "remove", "names", "discard"};
        std::printf("step %s at %.2f s\n", kNames[static_cast<int>(step)],
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    }
    void wipeProgress(const quenvor::shredder::WipeProgress&) override {}
    bool wipeStopRequested() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace quenvor;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    platform::LinuxFileService files;
    platform::LinuxFreeSpace space;
    platform::LinuxRandomSource random;
    platform::LinuxStorageProbe probe;
    Quiet events;
    const auto r = shredder::FreeSpaceWipe({files, space, random, &probe, nullptr, 0}).run(argv[1], events);
    std::printf(
        "written %llu bytes in %llu files, %.2f s, full %d, %llu bytes free to no one, names %llu (bounded %d, table "
        "%llu bytes), journal: %llu bytes of changes went through it, once round %d\n",
        static_cast<unsigned long long>(r.written), static_cast<unsigned long long>(r.files), r.seconds, r.full ? 1 : 0,
        static_cast<unsigned long long>(r.unreachable), static_cast<unsigned long long>(r.names),
        r.namesBounded ? 1 : 0, static_cast<unsigned long long>(r.nameTableBytes),
        static_cast<unsigned long long>(r.journalWritten), r.journalCycled ? 1 : 0);
    if (!r.failure.empty()) std::fprintf(stderr, "failed: %s\n", r.failure.c_str());
    for (const auto& n : r.notRemoved) std::fprintf(stderr, "not removed: %s\n", n.c_str());
    return r.failure.empty() && r.full && r.notRemoved.empty() ? 0 : 1;
}
