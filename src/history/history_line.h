#pragma once

#include <string>
#include <string_view>

#include "codes/code_kind.h"
#include "util/civil_date.h"

// The text with every control byte (below 0x20, and 0x7F) written as '?', so that whatever
// a code holds, it stays one field on one line of a file.
std::string WithoutControlBytes(std::string text);

// One line of the exported history, without its line end: "NFe", the key and its
// formatted form for an invoice key; the slip's summary for a payment slip. Due dates
// are resolved around `reference`.
std::string HistoryExportLine(std::string_view code, CodeKind kind, CivilDate reference);
