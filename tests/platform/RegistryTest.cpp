#include <gtest/gtest.h>
#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <random>
#include <variant>

#include "platform/IniProfileReader.h"
#include "platform/RaisedError.h"
#include "platform/RegFileFormat.h"
#include "platform/RegistryStore.h"
#include "platform/cRegistry.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

namespace quenvor::platform {
namespace {

using test::TempDir;

class Registry : public ::testing::Test {
protected:
    TempDir dir;
    test::FixedFolders folders;
    std::filesystem::path file = dir / "quenvor/registry.reg";
    RegistryStore store{file, &folders};

    std::vector<std::uint8_t> bytes(const std::string& s, bool terminator = true) {
        std::vector<std::uint8_t> b(s.begin(), s.end());
        if (terminator) b.push_back(0);
        return b;
    }
    cRegistry reg(const std::string& section, const std::string& value) {
        cRegistry r(store, [](const std::string& n) -> std::optional<std::string> {
            if (n == "HOME") return std::string("/home/ana");
            return std::nullopt;
        });
        r.setClassKey(static_cast<std::int32_t>(kCurrentUser));
        r.setSectionKey(section);
        r.setValueKey(value);
        return r;
    }
};

TEST_F(Registry, KeysAndValuesSurviveTheFileWithEveryType) {
    RegKey k = 0;
    bool existed = true;
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\Test\\Deep", k, &existed), kErrorSuccess);
    EXPECT_FALSE(existed);
    ASSERT_EQ(store.setValue(k, "text", kRegSz, bytes("a \"quoted\" \\ value")), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "", kRegSz, bytes("default")), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "exp", kRegExpandSz, bytes("%HOME%/x")), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "multi", kRegMultiSz, {'a', 0, 'b', 0, 0}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "dw", kRegDword, {1, 2, 0, 0}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "be", kRegDwordBigEndian, {0, 0, 1, 2}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "bin", kRegBinary, {9, 8, 7}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "none", kRegNone, {}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "empty", kRegSz, {}), kErrorSuccess);
    ASSERT_EQ(store.closeKey(k), kErrorSuccess);

    RegistryStore again(file, &folders);
    RegKey k2 = 0;
    ASSERT_EQ(again.openKey(kCurrentUser, "software\\TEST\\deep", k2), kErrorSuccess);  // names ignore case
    std::vector<std::string> names;
    std::string name;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; again.enumValue(k2, i, name, type) == kErrorSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names.size(), 9u);
    auto read = [&](const std::string& n) {
        std::uint32_t t = 0, size = 1 << 20;
        std::vector<std::uint8_t> d;
        EXPECT_EQ(again.queryValue(k2, n, t, d, size), kErrorSuccess) << n;
        return std::make_pair(t, d);
    };
    EXPECT_EQ(read("text").second, bytes("a \"quoted\" \\ value"));
    EXPECT_EQ(read("").second, bytes("default"));
    EXPECT_EQ(read("exp"), std::make_pair(std::uint32_t{kRegExpandSz}, bytes("%HOME%/x")));
    EXPECT_EQ(read("multi").second, (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0}));
    EXPECT_EQ(read("dw").second, (std::vector<std::uint8_t>{1, 2, 0, 0}));
    EXPECT_EQ(read("be"), std::make_pair(std::uint32_t{kRegDwordBigEndian}, std::vector<std::uint8_t>{0, 0, 1, 2}));
    EXPECT_EQ(read("bin").second, (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_TRUE(read("none").second.empty());
    EXPECT_TRUE(read("empty").second.empty());
    EXPECT_NE(TempDir::read(file).find("Windows Registry Editor Version 5.00"), std::string::npos);
    EXPECT_NE(TempDir::read(file).find("\"dw\"=dword:00000201"), std::string::npos);
}

TEST_F(Registry, ReturnCodesFollowTheRegistryApi) {
    RegKey k = 0;
    EXPECT_EQ(store.openKey(kCurrentUser, "Software\\Missing", k), kErrorFileNotFound);
    EXPECT_EQ(store.openKey(12345, "x", k), kErrorInvalidHandle);
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\A\\B", k), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "v", kRegSz, bytes("0123456789")), kErrorSuccess);
    std::uint32_t type = 0, size = 0;
    std::vector<std::uint8_t> d;
    EXPECT_EQ(store.queryValue(k, "v", type, d, size), kErrorMoreData);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(store.queryValue(k, "nope", type, d, size), kErrorFileNotFound);
    std::string name;
    EXPECT_EQ(store.enumValue(k, 1, name, type), kErrorNoMoreItems);
    bool existed = false;
    RegKey again = 0;
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\A\\B", again, &existed), kErrorSuccess);
    EXPECT_TRUE(existed);
    // A key with subkeys is not deleted by the plain deletion.
    EXPECT_EQ(store.deleteKey(kCurrentUser, "Software\\A"), kErrorAccessDenied);
    EXPECT_EQ(store.deleteKey(kCurrentUser, "Software\\A\\B"), kErrorSuccess);
    EXPECT_EQ(store.deleteKey(kCurrentUser, "Software\\A\\B"), kErrorFileNotFound);
    EXPECT_EQ(store.deleteValue(k, "v"), kErrorFileNotFound);  // its key is gone
    EXPECT_EQ(store.closeKey(k), kErrorSuccess);
    EXPECT_EQ(store.closeKey(k), kErrorInvalidHandle);
    // The tree deletion takes the key with all below it, for good, and never a root's contents.
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\T\\U\\V", k), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "v", kRegSz, bytes("x")), kErrorSuccess);
    EXPECT_EQ(store.closeKey(k), kErrorSuccess);
    EXPECT_EQ(store.deleteTree(kCurrentUser, "software\\t"), kErrorSuccess);
    EXPECT_EQ(store.deleteTree(kCurrentUser, "Software\\T"), kErrorFileNotFound);
    EXPECT_EQ(store.deleteTree(kCurrentUser, ""), kErrorAccessDenied);
    RegistryStore reread(file, nullptr);
    EXPECT_EQ(reread.openKey(kCurrentUser, "Software\\T", k), kErrorFileNotFound);
    EXPECT_EQ(reread.openKey(kCurrentUser, "Software", k), kErrorSuccess);
}

TEST_F(Registry, AnInterruptedSaveLosesNothing) {
    RegKey k = 0;
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\Keep", k), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "v", kRegSz, bytes("kept")), kErrorSuccess);
    // What a crash between writing the temporary file and renaming it leaves behind.
    TempDir::write(file.string() + ".tmp-123", "[HKEY_CURRENT_USER\\Software\\Keep]\r\n\"v\"=\"half");
    RegistryStore after(file, &folders);
    EXPECT_EQ(reg("Software\\Keep", "v").Value(), RegVariant(std::string("kept")));
    cRegistry r(after);
    r.setClassKey(static_cast<std::int32_t>(kCurrentUser));
    r.setSectionKey("Software\\Keep");
    r.setValueKey("v");
    EXPECT_EQ(r.Value(), RegVariant(std::string("kept")));
}

TEST_F(Registry, ShellFoldersComeFromTheDesktop) {
    // Compared as paths: the folders are joined with the system's own separator.
    const auto folder = [&](const char* value) {
        const RegVariant v = reg(kShellFoldersKey, value).Value();
        const auto* text = std::get_if<std::string>(&v);
        return text ? std::filesystem::path(*text) : std::filesystem::path();
    };
    EXPECT_EQ(folder("AppData"), std::filesystem::path("/home/user/.config"));
    EXPECT_EQ(folder("Local AppData"), std::filesystem::path("/home/user/.cache"));
    EXPECT_EQ(folder("Recent"), std::filesystem::path("/home/user/.local/share/RecentDocuments"));
    EXPECT_EQ(reg(kShellFoldersKey, "History").Value(), RegVariant());
}

TEST_F(Registry, cRegistryReadsEachTypeAsItsVariant) {
    RegKey k = 0;
    ASSERT_EQ(store.createKey(kCurrentUser, "Software\\T", k), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "ten", kRegSz, bytes("0123456789")), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "exp", kRegExpandSz, bytes("%HOME%\\docs %UNSET%")), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "be", kRegDwordBigEndian, {0, 0, 1, 2}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "dw", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "bin", kRegBinary, {1, 2, 3}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "multi", kRegMultiSz, {'a', 0, 'b', 0, 0}), kErrorSuccess);
    ASSERT_EQ(store.setValue(k, "zero", kRegSz, {}), kErrorSuccess);
    auto r = reg("Software\\T", "ten");
    EXPECT_EQ(r.Value(), RegVariant(std::string("0123456789")));
    EXPECT_EQ(r.ValueType(), 1);
    EXPECT_EQ(reg("Software\\T", "exp").Value(), RegVariant(std::string("/home/ana\\docs %UNSET%")));
    EXPECT_EQ(reg("Software\\T", "be").Value(), RegVariant(std::int32_t{258}));
    EXPECT_EQ(reg("Software\\T", "dw").Value(), RegVariant(std::int32_t{-1}));
    EXPECT_EQ(reg("Software\\T", "bin").Value(), RegVariant(std::vector<std::uint8_t>{1, 2, 3, 0}));
    EXPECT_EQ(reg("Software\\T", "multi").Value(), RegVariant(std::string("a\0b\0", 4)));
    EXPECT_EQ(reg("Software\\T", "zero").Value(), RegVariant(std::string()));  // not a failure
    auto missing = reg("Software\\T", "nothing");
    missing.setValueType(7);
    EXPECT_EQ(missing.Value(), RegVariant());
    EXPECT_EQ(missing.ValueType(), 7);
    missing.setDefault(std::string("fallback"));
    EXPECT_EQ(missing.Value(), RegVariant(std::string("fallback")));
    EXPECT_EQ(reg("Software\\Nowhere", "AppData").Value(), RegVariant());
}

// A value deleted between measuring it and reading it is the default, not a run of zeros.
TEST_F(Registry, cRegistryReadsAValueThatVanishesMeanwhileAsItsDefault) {
    struct Vanishing : RegistryStore {
        using RegistryStore::RegistryStore;
        int queries = 0;
        long queryValue(RegKey key, const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& data,
                        std::uint32_t& size) override {
            if (++queries == 2) return kErrorFileNotFound;
            return RegistryStore::queryValue(key, name, type, data, size);
        }
    } vanishing{file, &folders};
    RegKey k = 0;
    ASSERT_EQ(vanishing.createKey(kCurrentUser, "Software\\T", k), kErrorSuccess);
    ASSERT_EQ(vanishing.setValue(k, "dw", kRegDword, {7, 0, 0, 0}), kErrorSuccess);
    cRegistry r(vanishing);
    EXPECT_EQ(r.ValueEx(static_cast<std::int32_t>(kCurrentUser), "Software\\T", "dw", kRegDword, std::int32_t{-5}),
              RegVariant(std::int32_t{-5}));
}

TEST_F(Registry, cRegistryWritesChooseTheStringTypeByPercentSigns) {
    auto w = reg("Software\\W", "v");
    w.setValueType(kRegSz);
    auto typeOf = [&](const std::string& text) {
        w.setValueType(kRegSz);
        w.setValue(text);
        w.Value();
        return w.ValueType();
    };
    EXPECT_EQ(typeOf("50% off"), kRegSz);
    EXPECT_EQ(typeOf("%PATH%"), kRegExpandSz);
    EXPECT_EQ(typeOf("%%"), kRegSz);
    EXPECT_EQ(typeOf("%a%"), kRegExpandSz);
    w.setValueType(kRegDword);
    w.setValue(std::int32_t{7});
    EXPECT_EQ(w.Value(), RegVariant(std::int32_t{7}));
    w.setValueType(kRegBinary);
    EXPECT_THROW(w.setValue(std::string("not bytes")), RaisedError);
    EXPECT_TRUE(w.KeyExists());
    EXPECT_TRUE(w.DeleteValue());
    try {
        w.DeleteValue();
        FAIL();
    } catch (const RaisedError& e) {
        EXPECT_EQ(e.number(), kErrRegistry);
        EXPECT_EQ(e.source(), "quenvor.cRegistry");
        EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'Software\\W',Key: 'v");
    }
}

TEST_F(Registry, cRegistryKeysEnumerationsAndMachineNames) {
    auto r = reg("Software\\E", "");
    std::vector<std::string> names{"stale"};
    std::int32_t count = 9;
    EXPECT_TRUE(r.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(r.CreateKey());
    reg("Software\\E\\Sub1", "").CreateKey();
    reg("Software\\E\\Sub2", "").CreateKey();
    EXPECT_TRUE(r.EnumerateSections(names, count));
    EXPECT_EQ(names, (std::vector<std::string>{"Sub1", "Sub2"}));
    EXPECT_THROW(reg("Software\\E", "").DeleteKey(), RaisedError);  // it has subkeys

    r.setMachine("ab");
    EXPECT_EQ(r.Machine(), "");
    r.setMachine("abc");
    EXPECT_EQ(r.Machine(), "\\\\abc");
    r.setMachine("\\\\srv");
    EXPECT_EQ(r.Machine(), "\\\\srv");
}

TEST_F(Registry, FileAssociationsAreWrittenTwice) {
    cRegistry r(store);
    r.CreateEXEAssociation(" /opt/q/quenvor ", "Quenvor.Doc", "Quenvor document", "qvd", "", {true, ""}, {}, {}, 0);
    auto read = [&](std::int32_t hive, const std::string& path) {
        cRegistry x(store);
        x.setClassKey(hive);
        x.setSectionKey(path);
        return toText(x.Value());
    };
    const auto hkcr = static_cast<std::int32_t>(kClassesRoot);
    const auto hklm = static_cast<std::int32_t>(kLocalMachine);
    EXPECT_EQ(read(hkcr, ".qvd"), "Quenvor.Doc");
    EXPECT_EQ(read(hklm, "SOFTWARE\\Classes\\.qvd"), "Quenvor.Doc");
    EXPECT_EQ(read(hkcr, "Quenvor.Doc\\shell\\open"), "open");
    EXPECT_EQ(read(hkcr, "Quenvor.Doc\\shell\\print\\command"), "\"/opt/q/quenvor\" /p \"%1\"");
    EXPECT_EQ(read(hkcr, "Quenvor.Doc\\DefaultIcon"), "\"/opt/q/quenvor\",0");
    r.setClassKey(hkcr);
    EXPECT_THROW(r.CreateAdditionalEXEAssociations("Quenvor.Doc", {"a", "b"}), RaisedError);
    EXPECT_THROW(r.CreateAdditionalEXEAssociations("Nope", {"a", "b", "c"}), RaisedError);
    r.CreateAdditionalEXEAssociations("Quenvor.Doc", {"edit", "&Edit", "ed \"%1\""});
    EXPECT_EQ(read(hkcr, "Quenvor.Doc\\shell\\edit\\command"), "ed \"%1\"");
}

// Every line the reader cannot take comes back with its number (never an exception), and the
// lines around it are still read.
TEST(RegFileFormat, DamagedLinesAreReportedByNumberAndTheRestKept) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"    // 1
        "\"orphan\"=\"no key yet\"\r\n"               // 2
        "\r\n"                                        // 3
        "[HKEY_CURRENT_USER\\Software\\T]\r\n"        // 4
        "\"good\"=\"kept\"\r\n"                       // 5
        "\"x\"=dword:zz\r\n"                          // 6
        "\"partial\"=dword:1z\r\n"                    // 7
        "\"long\"=dword:123456789\r\n"                // 8
        "\"odd\"=hex:0\r\n"                           // 9
        "\"kind\"=hex(q):00\r\n"                      // 10
        "\"open\"=\"unterminated\r\n"                 // 11
        "\"trail\"=\"a\"b\r\n"                        // 12
        "noquote=\"v\"\r\n"                           // 13
        "\"what\"=qword:1\r\n"                        // 14
        "\"wide\"=hex(2):41\r\n"                      // 15
        "[HKEY_CURRENT_USER\\Software\\Unclosed\r\n"  // 16
        "\"lost\"=\"v\"\r\n"                          // 17
        "[HKEY_CURRENT_USER\\Software\\U]\r\n"        // 18
        "\"dw\"=dword:ffffffff\r\n";                  // 19
    const auto parsed = RegFileFormat::read(text);
    std::vector<std::size_t> lines;
    for (const auto& e : parsed.errors) lines.push_back(e.line);
    EXPECT_EQ(lines, (std::vector<std::size_t>{2, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(RegFileFormat::describe(parsed.errors), "line 2: a value outside any key (and 12 more)");
    const auto& t = *parsed.roots->subkeys.at("HKEY_CURRENT_USER")->subkeys.at("Software")->subkeys.at("T");
    ASSERT_EQ(t.values.size(), 1u);
    EXPECT_EQ(t.values[0].name, "good");
    const auto& u = *parsed.roots->subkeys.at("HKEY_CURRENT_USER")->subkeys.at("Software")->subkeys.at("U");
    ASSERT_EQ(u.values.size(), 1u);
    EXPECT_EQ(u.values[0].data, (std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0xff}));
}

// What the editor exports and what earlier versions of the store wrote both read back as they
// were, and what the store writes reads back as it was written.
TEST(RegFileFormat, EditorExportsAndOurOwnFilesRoundTrip) {
    const std::string exported =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\E]\r\n"
        "@=\"default\"\r\n"
        "\"long\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"exp\"=hex(2):25,00,48,00,00,00\r\n"
        "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"none\"=hex(0):\r\n";
    const auto parsed = RegFileFormat::read(exported);
    EXPECT_TRUE(parsed.errors.empty()) << RegFileFormat::describe(parsed.errors);
    const auto& e = *parsed.roots->subkeys.at("HKEY_CURRENT_USER")->subkeys.at("Software")->subkeys.at("E");
    ASSERT_EQ(e.values.size(), 5u);
    EXPECT_EQ(e.values[1].data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(e.values[2].data, (std::vector<std::uint8_t>{'%', 'H', 0}));
    EXPECT_EQ(e.values[3].type, 11u);  // the type is hexadecimal
    EXPECT_EQ(e.values[4].type, 0u);
    EXPECT_TRUE(e.values[4].data.empty());

    const std::string written = RegFileFormat::write(*parsed.roots);
    EXPECT_NE(written.find("\"q\"=hex(b):01,00"), std::string::npos) << written;
    const auto again = RegFileFormat::read(written);
    EXPECT_TRUE(again.errors.empty());
    EXPECT_EQ(RegFileFormat::write(*again.roots), written);
}

// A store that cannot be read whole is set aside, byte for byte, under a timestamped name; the
// readable part is answered and saved, and damage() names both files.
TEST_F(Registry, ADamagedStoreIsSetAsideNotSavedOver) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Keep]\r\n"
        "\"v\"=\"kept\"\r\n\"x\"=dword:zz\r\n";
    TempDir::write(file, damaged);
    RegistryStore hurt(file, &folders);
    RegKey k = 0;
    ASSERT_EQ(hurt.openKey(kCurrentUser, "Software\\Keep", k), kErrorSuccess);
    std::uint32_t type = 0, size = 64;
    std::vector<std::uint8_t> d;
    EXPECT_EQ(hurt.queryValue(k, "v", type, d, size), kErrorSuccess);
    EXPECT_EQ(d, bytes("kept"));
    EXPECT_EQ(hurt.queryValue(k, "x", type, d, size), kErrorFileNotFound);

    const auto damage = hurt.damage();
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->file, file);
    EXPECT_EQ(damage->detail, "line 5: a dword that is not 1 to 8 hexadecimal digits");
    EXPECT_EQ(damage->line, 5u);
    const std::string keptName = damage->keptAs.filename().string();
    EXPECT_EQ(keptName.rfind("registry.reg.damaged-", 0), 0u) << keptName;
    EXPECT_EQ(keptName.size(), std::string("registry.reg.damaged-YYYYMMDD-HHMMSS").size());
    EXPECT_EQ(TempDir::read(damage->keptAs), damaged);

    EXPECT_EQ(hurt.setValue(k, "w", kRegSz, bytes("new")), kErrorSuccess);
    EXPECT_EQ(TempDir::read(damage->keptAs), damaged);
    RegistryStore next(file, &folders);
    EXPECT_FALSE(next.damage());
    RegKey k2 = 0;
    ASSERT_EQ(next.openKey(kCurrentUser, "Software\\Keep", k2), kErrorSuccess);
    EXPECT_EQ(next.queryValue(k2, "v", type, d, size), kErrorSuccess);
    EXPECT_EQ(next.queryValue(k2, "w", type, d, size), kErrorSuccess);
    EXPECT_FALSE(store.damage());  // no file at all is no damage
}

// One line nobody can read must cost nothing else: a value cut short, digits that are not
// hexadecimal, an unreadable hex type, a dword too long, or plain noise. The keys around it are
// answered, the next save keeps them, and the damaged line survives byte for byte in the copy.
TEST_F(Registry, OneBadLineLosesNoOtherKey) {
    std::mt19937 gen(7);
    std::string noise;
    for (int i = 0; i < 200; ++i) {
        char c = static_cast<char>(gen());
        noise += c == '\n' ? ' ' : c;
    }
    const std::vector<std::string> badLines = {"\"z\"=dword:", "\"z\"=dword:zzzz", "\"z\"=hex(zz):00",
                                               "\"z\"=dword:0000000001", noise};
    for (const auto& bad : badLines) {
        const std::string text =
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Before]\r\n\"a\"=\"one\"\r\n" +
            bad + "\r\n\"b\"=dword:00000002\r\n[HKEY_CURRENT_USER\\Software\\After]\r\n\"c\"=\"three\"\r\n";
        TempDir::write(file, text);
        std::optional<StoreDamage> damage;
        {
            RegistryStore hurt(file, &folders);
            damage = hurt.damage();
            ASSERT_TRUE(damage) << bad;
            EXPECT_EQ(damage->line, 5u) << bad;
            RegKey k = 0;
            ASSERT_EQ(hurt.createKey(kCurrentUser, "Software\\Touched", k), kErrorSuccess);
            EXPECT_EQ(hurt.setValue(k, "t", kRegSz, bytes("new")), kErrorSuccess);
        }
        EXPECT_EQ(TempDir::read(damage->keptAs), text) << bad;
        RegistryStore next(file, &folders);
        EXPECT_FALSE(next.damage()) << bad;
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{{"Software\\Before", "a"},
                                                                                         {"Software\\Before", "b"},
                                                                                         {"Software\\After", "c"},
                                                                                         {"Software\\Touched", "t"}}) {
            RegKey k = 0;
            ASSERT_EQ(next.openKey(kCurrentUser, key, k), kErrorSuccess) << bad << " " << key;
            std::uint32_t type = 0, size = 64;
            std::vector<std::uint8_t> d;
            EXPECT_EQ(next.queryValue(k, value, type, d, size), kErrorSuccess) << bad << " " << value;
            ASSERT_EQ(next.closeKey(k), kErrorSuccess);
        }
        std::filesystem::remove(damage->keptAs);
    }
    // A file of noise throughout is set aside whole; the store starts empty and says so.
    std::string all;
    for (int i = 0; i < 4096; ++i) all += static_cast<char>(gen());
    TempDir::write(file, all);
    RegistryStore hurt(file, &folders);
    const auto damage = hurt.damage();
    ASSERT_TRUE(damage);
    EXPECT_EQ(TempDir::read(damage->keptAs), all);
}

#ifdef __linux__
// Sets or clears the immutable flag of a folder: nothing in it can then be renamed, not even by
// root. False where the filesystem or the user cannot set it.
bool setImmutable(const std::filesystem::path& folder, bool on) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

// When the damaged file cannot be moved aside, no change may be saved over it.
TEST_F(Registry, ADamagedStoreThatCannotBeSetAsideRefusesChanges) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Keep]\r\n\"x\"=dword:zz\r\n";
    TempDir::write(file, damaged);
    if (!setImmutable(file.parent_path(), true))
        GTEST_SKIP() << "this filesystem or user cannot make a folder immutable";
    struct Thaw {
        std::filesystem::path folder;
        ~Thaw() { setImmutable(folder, false); }
    } thaw{file.parent_path()};
    RegistryStore hurt(file, &folders);
    const auto damage = hurt.damage();
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->keptAs, file);
    RegKey k = 0;
    ASSERT_EQ(hurt.openKey(kCurrentUser, "Software\\Keep", k), kErrorSuccess);
    EXPECT_EQ(hurt.setValue(k, "v", kRegSz, bytes("new")), kErrorAccessDenied);
    RegKey created = 0;
    EXPECT_EQ(hurt.createKey(kCurrentUser, "Software\\New", created), kErrorAccessDenied);
    EXPECT_EQ(TempDir::read(file), damaged);
}
#endif

// Reading the value of a failure (or the error of a success) is a fault in the caller; a debug
// build stops there instead of reading an empty optional.
TEST(ResultDeathTest, ReadingTheAbsentSideStopsADebugBuild) {
#ifdef NDEBUG
    GTEST_SKIP() << "assertions are compiled out of this build";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Result<int> failed = Error{5, "refused"};
    const Result<int> fine = 3;
    EXPECT_DEATH((void)failed.value(), "value\\(\\) of an error");
    EXPECT_DEATH((void)*failed, "value\\(\\) of an error");
    EXPECT_DEATH((void)fine.error(), "error\\(\\) of a value");
    EXPECT_DEATH((void)Status().error(), "error\\(\\) of a success");
    EXPECT_EQ(failed.status().error().message, "refused");
    EXPECT_TRUE(fine.status().ok());
#endif
}

TEST(IniProfileReader, ReadsLikeThePrivateProfileReader) {
    TempDir dir;
    const auto ini = dir / "profiles.ini";
    const std::string longPath(400, 'p');
    TempDir::write(ini,
                   "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n IsRelative = 1 \r\n"
                   "Path=Profiles/abc.default\r\n\r\n[profile1]\r\nPath=\"" +
                       longPath + "\"\r\n");
    IniProfileReader r;
    std::string v;
    EXPECT_EQ(r.read("Profile0", "Path", "", v, ini), 20u);
    EXPECT_EQ(v, "Profiles/abc.default");
    EXPECT_EQ(r.read("PROFILE0", "isrelative", "", v, ini), 1u);
    EXPECT_EQ(v, "1");
    EXPECT_EQ(r.read("Profile1", "Path", "", v, ini), 400u);  // no length limit
    EXPECT_EQ(r.read("Profile9", "Path", "", v, ini), 0u);
    EXPECT_EQ(r.read("Profile0", "Path", "", v, dir / "missing.ini"), 0u);
    EXPECT_EQ(IniProfileReader::sections(ini).value(), (std::vector<std::string>{"General", "Profile0", "profile1"}));
    // A list that cannot be read is an error, not a list without profiles.
    EXPECT_EQ(IniProfileReader::sections(dir / "missing.ini").error().code, ENOENT);
    EXPECT_FALSE(IniProfileReader::sections(dir.path()).ok());  // a read that fails part way
}

}  // namespace
}  // namespace quenvor::platform
