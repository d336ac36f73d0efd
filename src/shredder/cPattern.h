#pragma once
// The shredding engine: overwrites one file in place with random patterns, pass after
// pass, each pass flushed to the device, and removes it only when every pass succeeded.
// The file is opened once, inside an open folder, and every pass, flush and the final cut go
// to that open file; its name is renamed and removed only while it still refers to it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/IFileService.h"
#include "shredder/IShredEvents.h"
#include "shredder/ShredResult.h"

namespace quenvor::platform {
class IDirectory;
class IFileService;
class IRandomSource;
}  // namespace quenvor::platform

namespace quenvor::shredder {

struct BlockPlan {
    std::uint64_t blockSize = 0;  // B
    std::uint64_t blocks = 0;     // N
    std::uint64_t remainder = 0;  // R
};

class cPattern {
public:
    cPattern(platform::IFileService& files, platform::IRandomSource* random);

    const std::string& SourceFile() const { return m_sourceFile; }
    void setSourceFile(std::string path) { m_sourceFile = std::move(path); }
    std::int32_t SecurePass() const { return m_securePass; }
    void setSecurePass(std::int32_t passes) { m_securePass = passes; }
    bool Assembly() const { return m_assembly; }
    void setAssembly(bool randomOrder) { m_assembly = randomOrder; }
    bool Attibs() const { return m_attibs; }
    void setAttibs(bool makeWritable) { m_attibs = makeWritable; }

    void setEvents(IShredEvents* events) { m_events = events; }
    // Called after every pass, and every few hundred milliseconds inside a long one, so the
    // window stays responsive (Abort can be clicked).
    void setProcessEvents(std::function<void()> processEvents) { m_processEvents = std::move(processEvents); }

    // How many names the file may have: 1 unless the user agreed to destroy the contents its
    // other names share. A file found with more is left untouched.
    void setAllowedNames(std::uint64_t names) { m_allowedNames = names; }

    // Looks at the open file before the first pass and after the last flush, before the cut (the
    // same open file the passes write); what it notes goes into the result of a file shredded.
    using OpenFileCheck = std::function<void(platform::IWritableFile&, StorageNote&)>;
    void setOpenFileChecks(OpenFileCheck beforeFirstPass, OpenFileCheck afterLastPass) {
        m_beforeFirstPass = std::move(beforeFirstPass);
        m_afterLastPass = std::move(afterLastPass);
    }

    // Asked before a file found in a folder is opened: a file in an overlay's read-only lower
    // layer is never opened for writing (the overlay would first copy it whole into the upper
    // layer), only hidden, and its result says the original stays below.
    using LayerCheck = std::function<platform::Result<platform::FileLayer>(platform::IDirectory&, const std::string&)>;
    void setLayerCheck(LayerCheck check) { m_layerOf = std::move(check); }

    ShredResult DeleteFileByPattern();
    // Shreds `name` inside an open folder. With `listed`, the file must still be the one a walk
    // saw there (same device and inode), or it is left alone.
    ShredResult shredIn(platform::IDirectory& folder, const std::string& name,
                        const platform::FileStatus* listed = nullptr);
    bool FileExists(const std::string& sDir);

    static BlockPlan planFor(std::uint64_t length);
    // The pattern (1 to 8) after pattern k in cyclic order; the order runs on across passes.
    static int nextCyclic(int k) { return k >= 8 ? 1 : k + 1; }

private:
    ShredResult overwrite(platform::IWritableFile& file, const BlockPlan& plan,
                          const std::vector<platform::ByteRange>& data);
    ShredResult overwriteGrowth(platform::IWritableFile& file, std::uint64_t covered);
    void giveBackTaken(platform::IWritableFile& file, std::uint64_t allocatedBefore);
    ShredResult removeShredded(platform::IDirectory& folder, const std::string& name,
                               const platform::FileStatus& shredded);
    void fill(std::byte* data, std::size_t size);
    void pump(bool force);

    platform::IFileService& m_files;
    platform::IRandomSource* m_random;
    IShredEvents* m_events = nullptr;
    std::function<void()> m_processEvents;
    std::string m_sourceFile;
    std::int32_t m_securePass = 0;
    bool m_assembly = false;
    bool m_attibs = false;
    std::uint64_t m_allowedNames = 1;
    OpenFileCheck m_beforeFirstPass, m_afterLastPass;
    LayerCheck m_layerOf;
    std::int64_t m_lastPumpNs = 0;
    std::vector<platform::ByteRange> m_passWritten;  // what the current pass has written so far
};

}  // namespace quenvor::shredder
