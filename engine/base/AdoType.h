#pragma once

namespace engine {

// ADO's DataTypeEnum codes the engine reports: a field's Type(), a catalogue
// column's Type(), and the type the Jet reader gives each column it reads.
namespace adtype {
inline constexpr int SmallInt = 2, Integer = 3, Single = 4, Double = 5, Currency = 6, Date = 7,
                     Boolean = 11, Variant = 12, TinyInt = 16, UnsignedTinyInt = 17, BigInt = 20,
                     GUID = 72, Numeric = 131, WChar = 130, VarWChar = 202, LongVarWChar = 203,
                     VarBinary = 204, LongVarBinary = 205;
}

} // namespace engine
