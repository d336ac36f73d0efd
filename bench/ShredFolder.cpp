// Shreds one folder the way the shredder page does (walk, shred each file, remove the folder),
// without a window: for measuring what a shred leaves on a raw filesystem image.
//   quenvor_shred_folder FOLDER [PASSES]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "shredder/FolderRemover.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"

int main(int argc, char** argv) {
    using namespace quenvor;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [PASSES]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int passes = argc > 2 ? std::atoi(argv[2]) : 1;
    platform::LinuxFileService files;
    platform::LinuxRandomSource random;
    int failed = 0;
    const auto list = shredder::cRecurse(files).Recurse(folder, "*.*");
    for (std::int64_t i = 1; i <= list.size(); ++i) {
        if (list[i].empty() || files.status(list[i])->type != platform::FileType::Regular) continue;
        shredder::cPattern engine(files, &random);
        engine.setSourceFile(list[i]);
        engine.setSecurePass(passes);
        if (!engine.DeleteFileByPattern().ok()) ++failed;
    }
    const auto left = shredder::FolderRemover(files).removeTree(folder, {});
    std::printf("%lld entries, %d not shredded, %zu not removed\n", static_cast<long long>(list.size()), failed,
                left.size());
    return failed == 0 && left.empty() ? 0 : 1;
}
