#pragma once

#include <cstdint>
#include <string>

#include "ui/program.h"

// The phone's scanning page in the program: "WebPort" (TCP, 6667 unless stored; 0 turns
// the page off), "PhoneToken", the pairing secret in every page address, and
// "PhoneTokenPrivate" (1), stored with every token this program makes. Earlier versions'
// pages sent the token over the network and stored no such mark.
inline constexpr const char* kWebPortValue = "WebPort";
inline constexpr const char* kPhoneTokenValue = "PhoneToken";
inline constexpr const char* kPhoneTokenPrivateValue = "PhoneTokenPrivate";
inline constexpr std::int32_t kDefaultWebPort = 6667;

// Starts serving the page on the stored port, with the stored token, or a new one when
// none is stored yet (or what is stored is no token). Runs after the main window exists:
// the page's scans go to it. When the port cannot be had, the page stays off and
// `webProblem` says why.
void StartPhonePage(Program& program);
// Stops the server; scans in progress finish first.
void StopPhonePage(Program& program);

// A new pairing secret, stored and in force at once: every paired phone must read the
// QR code again. False when the system gave no randomness.
bool NewPhonePairing(Program& program);

// Whether the stored token is one that an earlier version made and sent over the network:
// the phones paired with it should be paired again.
bool PairedBeforeThisVersion(SettingsStore& store);
