#include "support/LevelDbFixture.h"

#include <gtest/gtest.h>
#include <leveldb/db.h>
#include <leveldb/write_batch.h>

#include <memory>

#include "support/TempDir.h"

namespace quenvor::test {

void LevelDbFixture::write(const std::filesystem::path& folder, const Entries& entries) {
    std::filesystem::create_directories(folder);
    leveldb::Options o;
    o.create_if_missing = true;
    leveldb::DB* raw = nullptr;
    const auto s = leveldb::DB::Open(o, folder.string(), &raw);
    ASSERT_TRUE(s.ok()) << s.ToString();
    std::unique_ptr<leveldb::DB> db(raw);
    leveldb::WriteBatch batch;
    for (const auto& [k, v] : entries) batch.Put(k, v);
    ASSERT_TRUE(db->Write(leveldb::WriteOptions(), &batch).ok());
}

std::map<std::string, std::string> LevelDbFixture::read(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    leveldb::DB* raw = nullptr;
    const auto s = leveldb::DB::Open(leveldb::Options(), folder.string(), &raw);
    EXPECT_TRUE(s.ok()) << folder << ": " << s.ToString();
    if (!s.ok()) return out;
    std::unique_ptr<leveldb::DB> db(raw);
    std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
    for (it->SeekToFirst(); it->Valid(); it->Next()) out[it->key().ToString()] = it->value().ToString();
    EXPECT_TRUE(it->status().ok()) << it->status().ToString();
    return out;
}

std::string LevelDbFixture::bytes(const std::filesystem::path& folder) {
    std::string all;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
        if (e.is_regular_file()) all += TempDir::read(e.path());
    return all;
}

std::string LevelDbFixture::utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

}  // namespace quenvor::test
