#include "support/LoopImage.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

extern char** environ;

namespace quenvor::test {
namespace {

std::filesystem::path freshDir() {
    std::random_device rd;
    auto p = std::filesystem::temp_directory_path() / ("quenvor-realfs-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(p / "mnt");
    return p;
}

bool onPath(const std::string& tool) {
    for (const char* dir : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"})
        if (::access((std::string(dir) + "/" + tool).c_str(), X_OK) == 0) return true;
    return false;
}

}  // namespace

LoopImage::Recipe LoopImage::btrfs() { return {"btrfs", {"mkfs.btrfs", "-q", "-f"}, "", 256, {}}; }
// Since xfsprogs 5.19 nothing under 300 MiB is accepted.
LoopImage::Recipe LoopImage::xfsReflink() {
    return {"xfs reflink=1", {"mkfs.xfs", "-q", "-f", "-m", "reflink=1"}, "", 300, {}};
}
LoopImage::Recipe LoopImage::ext4() { return {"ext4", {"mkfs.ext4", "-q", "-F"}, "", 128, {}}; }
LoopImage::Recipe LoopImage::ext4DataJournal() {
    return {"ext4 data=journal", {"mkfs.ext4", "-q", "-F"}, "data=journal", 128, {}};
}
LoopImage::Recipe LoopImage::ext4JournalDataByDefault() {
    return {"ext4 journal_data by default", {"mkfs.ext4", "-q", "-F"}, "", 128, {"tune2fs", "-o", "journal_data"}};
}

bool LoopImage::mustRun() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

int LoopImage::run(const std::vector<std::string>& argv, std::string* output) {
    if (argv.empty()) return -1;
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipefd[1]);
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pipefd[0], buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(pipefd[0]);
    if (output) *output = out;
    if (rc != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<LoopImage> LoopImage::create(const Recipe& recipe, std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "loop-mounting the " + recipe.name + " image needs root";
        return nullptr;
    }
    if (!onPath(recipe.mkfs.front())) {
        whyNot = recipe.mkfs.front() + " is missing (run scripts/install-deps.sh)";
        return nullptr;
    }
    std::unique_ptr<LoopImage> img(new LoopImage);
    img->m_dir = freshDir();
    img->m_image = img->m_dir / "fs.img";
    img->m_mountPoint = img->m_dir / "mnt";
    {
        const int fd = ::open(img->m_image.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(recipe.sizeMiB) << 20) != 0) {
            whyNot = "cannot make the image file " + img->m_image.string() + ": " + std::strerror(errno);
            if (fd >= 0) ::close(fd);
            return nullptr;
        }
        ::close(fd);
    }
    std::vector<std::string> mkfs = recipe.mkfs;
    mkfs.push_back(img->m_image.string());
    std::string out;
    if (run(mkfs, &out) != 0) {
        whyNot = recipe.mkfs.front() + " failed: " + out;
        return nullptr;
    }
    if (!recipe.tune.empty()) {
        std::vector<std::string> tune = recipe.tune;
        tune.push_back(img->m_image.string());
        if (run(tune, &out) != 0) {
            whyNot = recipe.tune.front() + " failed: " + out;
            return nullptr;
        }
    }
    const std::string options = recipe.mountOptions.empty() ? "loop" : "loop," + recipe.mountOptions;
    if (run({"mount", "-o", options, img->m_image.string(), img->m_mountPoint.string()}, &out) != 0) {
        whyNot = "cannot loop-mount the " + recipe.name +
                 " image (no loop devices, or the kernel lacks the filesystem): " + out;
        return nullptr;
    }
    img->m_mounted = true;
    return img;
}

std::unique_ptr<LoopImage> LoopImage::createTmpfs(std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "mounting a tmpfs needs root";
        return nullptr;
    }
    std::unique_ptr<LoopImage> img(new LoopImage);
    img->m_dir = freshDir();
    img->m_mountPoint = img->m_dir / "mnt";
    if (::mount("quenvor-test", img->m_mountPoint.c_str(), "tmpfs", 0, "size=16m") != 0) {
        whyNot = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return nullptr;
    }
    img->m_mounted = true;
    return img;
}

std::unique_ptr<LoopImage> LoopImage::createOverlay(const std::function<void(const std::filesystem::path&)>& fillLower,
                                                    std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "mounting an overlay needs root";
        return nullptr;
    }
    std::unique_ptr<LoopImage> img(new LoopImage);
    img->m_dir = freshDir();
    img->m_mountPoint = img->m_dir / "mnt";
    for (const char* d : {"lower", "upper", "work"}) std::filesystem::create_directory(img->m_dir / d);
    fillLower(img->lowerDir());
    const std::string options = "lowerdir=" + img->lowerDir().string() +
                                ",upperdir=" + (img->m_dir / "upper").string() +
                                ",workdir=" + (img->m_dir / "work").string();
    if (::mount("overlay", img->m_mountPoint.c_str(), "overlay", 0, options.c_str()) != 0) {
        whyNot = std::string("cannot mount an overlay: ") + std::strerror(errno);
        return nullptr;
    }
    img->m_mounted = true;
    return img;
}

std::unique_ptr<LoopImage> LoopImage::createOverlayOnImages(
    const std::function<void(const std::filesystem::path&)>& fillLower, std::string& whyNot) {
    auto lower = create(ext4(), whyNot);
    if (!lower) return nullptr;
    auto upper = create(ext4(), whyNot);
    if (!upper) return nullptr;
    fillLower(lower->mountPoint());
    std::unique_ptr<LoopImage> img(new LoopImage);
    img->m_dir = freshDir();
    img->m_mountPoint = img->m_dir / "mnt";
    for (const char* d : {"rw", "work"}) std::filesystem::create_directory(upper->mountPoint() / d);
    const std::string options = "lowerdir=" + lower->mountPoint().string() +
                                ",upperdir=" + (upper->mountPoint() / "rw").string() +
                                ",workdir=" + (upper->mountPoint() / "work").string();
    if (::mount("overlay", img->m_mountPoint.c_str(), "overlay", 0, options.c_str()) != 0) {
        whyNot = std::string("cannot mount an overlay over two images: ") + std::strerror(errno);
        return nullptr;
    }
    img->m_mounted = true;
    img->m_lowerImage = std::move(lower);
    img->m_upperImage = std::move(upper);
    return img;
}

LoopImage::~LoopImage() {
    unmount();
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
}

bool LoopImage::setExt4Reserve(std::uint64_t clusters) {
    struct stat st {};
    if (::stat(m_mountPoint.c_str(), &st) != 0) return false;
    std::ifstream uevent("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
                         "/uevent");
    std::string line;
    while (std::getline(uevent, line))
        if (line.rfind("DEVNAME=", 0) == 0) {
            std::ofstream knob("/sys/fs/ext4/" + line.substr(8) + "/reserved_clusters");
            return static_cast<bool>(knob << clusters << std::flush);
        }
    return false;
}

bool LoopImage::sync() {
    if (!m_mounted) return true;
    const int fd = ::open(m_mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool LoopImage::unmount() {
    if (!m_mounted) return true;
    sync();
    // The mount was made with "loop", so the loop device goes with it.
    if (::umount2(m_mountPoint.c_str(), 0) != 0 && ::umount2(m_mountPoint.c_str(), MNT_DETACH) != 0) return false;
    m_mounted = false;
    return true;
}

bool LoopImage::rawContains(std::string_view marker) { return rawCount(marker, 1) > 0; }

std::size_t LoopImage::rawCount(std::string_view marker, std::size_t stopAt) {
    if (m_image.empty() || !sync()) return 0;
    return countInFile(m_image, marker, stopAt);
}

std::size_t LoopImage::countInFile(const std::filesystem::path& file, std::string_view marker, std::size_t stopAt) {
    if (marker.empty()) return 0;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // The loop device writes through the image file's page cache; flush it so that the runs
    // of data and holes below are those the filesystem wrote.
    ::fdatasync(fd);
    struct stat st {};
    ::fstat(fd, &st);
    const off_t size = st.st_size;
    std::vector<char> buf(kScanChunk);
    const auto overlap = static_cast<off_t>(marker.size() - 1);
    std::size_t found = 0;
    off_t nextCounted = 0;  // a marker read twice, in the overlap of two chunks, counts once
    off_t pos = 0;
    while (found < stopAt && pos < size) {
        const off_t data = ::lseek(fd, pos, SEEK_DATA);
        if (data < 0) break;  // only holes are left
        off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0) hole = size;
        off_t at = data;
        while (found < stopAt && at < hole) {
            const auto want = static_cast<std::size_t>(std::min<off_t>(hole - at, static_cast<off_t>(buf.size())));
            const ssize_t n = ::pread(fd, buf.data(), want, at);
            if (n <= 0) break;
            const std::string_view chunk(buf.data(), static_cast<std::size_t>(n));
            for (auto i = chunk.find(marker); i != std::string_view::npos && found < stopAt;
                 i = chunk.find(marker, i + 1)) {
                if (at + static_cast<off_t>(i) < nextCounted) continue;
                ++found;
                nextCounted = at + static_cast<off_t>(i) + 1;
            }
            if (n <= overlap || at + n >= hole) break;
            at += n - overlap;
        }
        pos = hole;
    }
    ::close(fd);
    return found;
}

}  // namespace quenvor::test
