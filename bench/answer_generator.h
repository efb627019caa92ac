// Generated service answers for the benchmarks: packets of realistic
// notifications (every kind of condition, several messages per notification,
// display names), the inventory that makes some of them apply, a content
// query with many criteria, and the identity the benchmark sessions open with.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "packet/client_identity.h"

// The answer packet, UTF-8, with `count` notifications. The same count always
// gives the same bytes.
std::string GenerateAnswer(size_t count);

// Notification number `i` of the generated answers, one element.
std::string GenerateNotification(size_t i);

// The same `count` notifications as documents for the reference service, one
// file each ("n0000000.xml" on), in the folder (made when missing).
void WriteDocuments(size_t count, const std::filesystem::path& folder);

// Inventory file text for the inventory stand-in: some of the products and
// distributions the generated conditions name are installed.
std::string GenerateInventory();

// The product key the generated conditions use for item `index`.
std::wstring ProductKey(size_t index);

// The identity the benchmark sessions open with.
ClientIdentity BenchClient();
