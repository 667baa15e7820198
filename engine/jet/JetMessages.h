#pragma once

#include "engine/Messages.h"

// Failure texts of the Jet file reader that the engine's common list lacks.
// None of them contains "密码".
namespace engine::jet::msg {

using engine::msg::Message;

// The file is a later format whose whole content is encrypted (not page RC4).
inline constexpr Message UnsupportedEncryption{3343,
                                               "数据库“%1”使用了不支持的加密方式，无法打开。"};
// A column of a type this reader does not know; the value reads as null.
inline constexpr Message UnsupportedFormat{3343, "数据库“%1”的格式版本（%2）不受支持。"};

} // namespace engine::jet::msg
