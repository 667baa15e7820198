// Build step: packs the library's resources and writes them as a C++ source
// whose array lands in the library's resource section.

#include "TypeLibrary.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.cpp>\n", argv[0]);
        return 2;
    }
    const QByteArray packed = component::packResources(knoplux::libraryResources());
    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f, "// Generated at build time from the library's own description.\n");
    std::fprintf(f, "__attribute__((section(\"%s\"), used, aligned(16)))\n",
                 component::ResourceSectionName);
    std::fprintf(f, "extern const unsigned char knoplux_resource_section[%lld] = {",
                 static_cast<long long>(packed.size()));
    for (qsizetype i = 0; i < packed.size(); ++i)
        std::fprintf(f, "%s%u,", i % 24 ? "" : "\n", static_cast<unsigned char>(packed[i]));
    std::fprintf(f, "\n};\n");
    return std::fclose(f) == 0 ? 0 : 1;
}
