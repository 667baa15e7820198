#pragma once

#include <string>

namespace engine {

// Compaction, as the Jet and Replication Objects offer it.
class JetEngine {
public:
    // Writes a compacted copy of the source database at the destination,
    // encrypted with the destination's password (none when empty). Refuses
    // an existing destination and a wrong source password; never changes the
    // source.
    void CompactDatabase(const std::string& sourceConnection, const std::string& destConnection);
};

} // namespace engine
