#pragma once

// Addresses outside the program, kept together so that they change in one place.

// Host of the public NF-e query portal, where an invoice key can be looked up.
inline constexpr const char* kNfePortalHost = "www.nfe.fazenda.gov.br";

// Where users write for help.
inline constexpr const char* kSupportEmail = "suporte@mordale.com.br";
