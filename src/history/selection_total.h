#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/code_record.h"

// Reads a value the way the program shows it, "R$ 110,00" or "R$ 1.234,56" (the thousands
// marked with dots in groups of three, or not marked at all; at most 13 digits of reais),
// in centavos. Nothing for "R$ N/A", an empty value or any other text.
std::optional<std::int64_t> ParseValueCentavos(std::string_view text);

// "R$ 1.234,56" of a non-negative amount in centavos: dots between the thousands, a comma
// before the centavos.
std::string FormatReais(std::int64_t centavos);

// a + b centavos, at most the largest amount: out of reach with the history's cap, and
// should it ever be reached, the total stops there rather than wrapping round to a wrong one.
std::int64_t AddCentavos(std::int64_t a, std::int64_t b);

// The rows selected in the history list: how many, and their values added up in centavos.
// NF-e keys and values that cannot be read ("R$ N/A") count as rows and add nothing.
class SelectionTotal {
public:
    void Add(const CodeRecord& record);

    int Count() const { return count; }
    std::int64_t Centavos() const { return centavos; }

    // "3 selecionados: R$ 1.234,56" for two rows or more; empty for fewer, whose value the
    // row itself shows.
    std::string StatusText() const;

private:
    int count = 0;
    std::int64_t centavos = 0;
};
