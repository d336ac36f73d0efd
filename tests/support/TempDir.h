#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quenvor::test {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path =
            std::filesystem::temp_directory_path() / ("quenvor-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& rel) const { return m_path / rel; }

    static void write(const std::filesystem::path& p, const std::string& contents) {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << contents;
    }
    static std::string read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path m_path;
};

}  // namespace quenvor::test
