// The text forms of the scan file's `meta` values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scan/scan_context.h"

namespace tb::MetaText {

// An optional "+" or "-" followed by digits only; nothing for empty text,
// spaces, other characters or a value outside signed 64 bits.
std::optional<std::int64_t> parseDecimal(std::string_view text);
// The text as an SQL literal: in single quotes, each quote doubled.
std::string quoted(std::string_view text);

// The `left_out` value: what a scan listed but did not walk. One line per
// item, "pattern", "count" or a LeftOutKind, a tab, then the text with "%",
// tab, line breaks and NUL percent-encoded.
std::string leftOutText(const ScanContext& context);
// Fills the context's patterns, items and count; unknown lines are skipped,
// and no more than the context's limit of items is kept.
void readLeftOut(std::string_view text, ScanContext& context);

} // namespace tb::MetaText
