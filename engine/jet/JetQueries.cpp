#include "engine/jet/JetInternal.h"
namespace engine::jet {
const char* queryKindName(QueryKind) {
    return "";
}
std::vector<QueryDef> JetFile::queries() const {
    return {};
}
} // namespace engine::jet
