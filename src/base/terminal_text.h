// Text for a terminal made from bytes someone else chose (a file name, a
// path inside an export): nothing in it can move the cursor, recolour the
// screen, reorder what follows or end the line early. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tb::TerminalText {

// Control bytes as "\n", "\t", "\r" or "\xNN", a byte that is not part of
// well-formed UTF-8 as "\xNN", C1 controls, bidirectional overrides and the
// Unicode line separators as "\uNNNN", and a backslash as "\\", so that
// every escape reads back as one meaning. Everything else stays as it is.
std::string escaped(std::string_view bytes);

} // namespace tb::TerminalText
