#pragma once

#include <cstdint>
#include <string>

#include "codes/code_kind.h"

// One accepted code with what the program derived from it. The history keeps a copy;
// list rows point at that copy.
struct CodeRecord {
    std::int32_t sequenceIndex = 0;   // 1, 2, ... per receiver thread
    std::int32_t listItemId = -1;     // the stable id of the record's list row
    std::uint32_t senderAddress = 0;  // IPv4, network byte order
    bool checkDigitsValid = false;
    std::string receivedAt;  // local time, "2026/12/07 09:05:03"
    // When this code first arrived, in the same form; empty when this is its first arrival.
    std::string firstSeenAt;
    std::string dueDate;     // bank slips only
    std::string value;       // slips only
    std::string typeable;    // typeable line, or the formatted NF-e key
    std::string code;        // as received
    std::string kindLetter;  // "B", "C" or "N"
    CodeKind kind = CodeKind::BankSlip;
    bool fromClipboard = false;   // pasted, not received: it has no sender address
    int wrongField = 0;           // a pasted line's first field whose check digit fails
    std::int64_t databaseId = 0;  // the record's row in the history database; 0 until stored
    std::string typedAt;          // when it was last typed, in the received-at form; "" never
    std::string paidAt;           // when it was marked paid; "" while it is not
};

// Who sent the record: its address, or "área de transferência" (Windows-1252) for a
// pasted one.
std::string SenderText(const CodeRecord& record);

// "192.168.0.10" of an address in network byte order.
std::string FormatIPv4(std::uint32_t networkOrderAddress);
