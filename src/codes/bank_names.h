#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Name of the bank with this three-digit code, or "DESCONHECIDO".
std::string BankNameForCode(std::string_view code);

// The table's codes, for checks of the table itself.
std::size_t BankNameCount();
std::string_view BankCodeAt(std::size_t index);
