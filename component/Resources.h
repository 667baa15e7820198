#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace component {

// Resources of a module, kept in a section of the library file and read from
// the file, the way the platform reads a module's resources. Types and names
// are text; numeric ones are written "#n" (so bitmap 30000 is type "#2",
// name "#30000").
struct Resource {
    QString type;
    QString name;
    std::uint16_t language = 0;
    QByteArray data;
};

inline constexpr const char* ResourceSectionName = ".knoplux_rsrc";
inline const QString ResourceTypeBitmap = QStringLiteral("#2");
inline const QString ResourceTypeData = QStringLiteral("#10");
inline const QString ResourceTypeVersion = QStringLiteral("#16");

// The packed form: "KRSC", a count, then per entry type, name (UTF-16,
// length-prefixed), language, size and the bytes, each padded to 4 bytes.
QByteArray packResources(const std::vector<Resource>& resources);
// nullopt for anything malformed (bad magic, truncated, sizes out of range).
std::optional<std::vector<Resource>> unpackResources(const QByteArray& packed);

// The bytes of a named section of an ELF file, or nullopt.
std::optional<QByteArray> readElfSection(const QString& file, const char* section);

class ModuleResources {
public:
    static std::optional<ModuleResources> load(const QString& moduleFile);
    const Resource* find(const QString& type, const QString& name) const;
    const std::vector<Resource>& all() const { return m_resources; }

private:
    std::vector<Resource> m_resources;
};

// A version block (VS_VERSIONINFO): fixed numbers and one string table.
struct VersionInfo {
    std::array<std::uint16_t, 4> fileVersion{};
    std::array<std::uint16_t, 4> productVersion{};
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    std::uint32_t fileType = 2; // a library
    std::vector<std::pair<QString, QString>> strings;

    QString string(const QString& key) const;
    bool hasString(const QString& key) const;
};
QByteArray buildVersionInfo(const VersionInfo& info);
std::optional<VersionInfo> parseVersionInfo(const QByteArray& block);

// A device-independent bitmap as a bitmap resource holds it (header,
// palette, bottom-up rows), 4 bits per pixel with the standard 16 colours.
QByteArray buildBitmap4(const QImage& image);
struct BitmapHeader {
    int width = 0, height = 0, bitCount = 0, colours = 0;
};
std::optional<BitmapHeader> parseBitmapHeader(const QByteArray& dib);
QImage decodeBitmap4(const QByteArray& dib);

} // namespace component
