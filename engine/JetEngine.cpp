#include "JetEngine.h"

#include "ConnectionString.h"
#include "core/Database.h"
#include "engine/base/Messages.h"

#include <filesystem>

namespace engine {

namespace fs = std::filesystem;

void JetEngine::CompactDatabase(const std::string& sourceConnection,
                                const std::string& destConnection) {
    const ConnectionString src = ConnectionString::parse(sourceConnection);
    const ConnectionString dst = ConnectionString::parse(destConnection);
    const std::string target = dst.dataSource();
    if (target.empty()) msg::raise(msg::EmptyPath);
    std::error_code ec;
    if (fs::exists(target, ec)) msg::raise(msg::DestinationExists, {target});
    if (!src.dataSource().empty() && fs::exists(src.dataSource(), ec) &&
        fs::absolute(src.dataSource(), ec) == fs::absolute(target, ec))
        msg::raise(msg::SameFile, {target});

    auto db = Database::open(src.dataSource(), src.password());
    // Writes beside the target and renames into place: nothing to remove.
    db->compactInto(target, dst.password());
}

} // namespace engine
