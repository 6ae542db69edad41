#pragma once

#include <cstdio>

#include "net/history_store.h"
#include "util/civil_date.h"

// Writes one line per stored record, oldest first, each ending in CR LF, holding the
// history lock for the whole walk so that a record arriving meanwhile is written
// completely or not at all. True when every byte was written.
bool WriteHistoryLines(const HistoryStore& history, std::FILE* file, CivilDate today);
