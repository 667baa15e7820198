#pragma once

#include "engine/Messages.h"

// Failure texts of the Jet file reader that the engine's common list lacks.
// Same style as engine/Messages.h; none of them contains "密码".
namespace engine::jet::msg {

using engine::msg::Message;

// The version byte names a file format newer than this reader knows.
inline constexpr Message UnsupportedFormat{3343, "数据库“%1”的格式版本（%2）不受支持。"};

} // namespace engine::jet::msg
