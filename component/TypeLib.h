#pragma once

#include "Dispatch.h"
#include "Guid.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace component {

// A type library in the MSFT binary format, written from a description and
// read back into one.
enum class TypeKind : std::uint8_t {
    Enum = 0,
    Record = 1,
    Module = 2,
    Interface = 3,
    Dispatch = 4,
    CoClass = 5,
    Alias = 6,
    Union = 7,
};

inline constexpr std::uint32_t TypeFlagControl = 0x20;
inline constexpr std::uint32_t ImplTypeFlagDefault = 0x1;
inline constexpr std::uint32_t ImplTypeFlagSource = 0x2;

struct ImplTypeDesc {
    QString typeName;
    std::uint32_t flags = 0;
    bool operator==(const ImplTypeDesc&) const = default;
};

struct ConstantDesc {
    QString name;
    std::int32_t value = 0;
    bool operator==(const ConstantDesc&) const = default;
};

struct TypeInfoDesc {
    TypeKind kind = TypeKind::Dispatch;
    QString name;
    Guid guid;
    std::uint32_t flags = 0;
    QString help;
    std::uint16_t major = 0, minor = 0;
    // The interface it derives from (by name, usually the imported IDispatch).
    QString base;
    std::vector<MemberInfo> functions;
    std::vector<ConstantDesc> constants;
    std::vector<ImplTypeDesc> implTypes;
};

// A type referred to in another library.
struct ImportedType {
    QString name;
    Guid guid;
    TypeKind kind = TypeKind::Dispatch;
};

struct ImportDesc {
    QString file;
    Guid guid;
    std::uint16_t major = 0, minor = 0;
    std::uint32_t lcid = 0;
    std::vector<ImportedType> types;
};

struct TypeLibDesc {
    QString name;
    QString help;
    Guid guid;
    std::uint16_t major = 0, minor = 0;
    std::uint32_t lcid = 0;
    std::vector<ImportDesc> imports;
    std::vector<TypeInfoDesc> types;

    const TypeInfoDesc* find(const QString& typeName) const;
};

// Strings (names, help strings) are stored in the Chinese ANSI code page
// (GB18030, a superset of code page 936), as the platform stores text of a
// library made on a Chinese desktop.
QByteArray writeTypeLib(const TypeLibDesc& lib);
// nullopt when the bytes are not a well-formed library of this format.
std::optional<TypeLibDesc> readTypeLib(const QByteArray& bytes);

// The standard OLE types library with the types controls use.
ImportDesc standardOleImport();

} // namespace component
