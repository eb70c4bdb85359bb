// In-memory settings store for unit tests, with the registry's meaning: keys by path, values
// with a type and bytes, read and write access checked. Every call is appended to CallLog as
//   OpenStoreKey <path> <access in hex>     (e.g. "OpenStoreKey Control Panel\...\... 0x20019")
//   QueryStoreValue <name> <capacity>
//   SetStoreValue <name> <type> <length>
//   CloseStoreKey
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_store.h"

struct FakeStoreValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct FakeStoreControl {
    // Key path -> value name -> value. Names compare exactly.
    std::map<std::string, std::map<std::string, FakeStoreValue>> keys;
    bool failOpen = false;  // OpenStoreKey returns 0, as when the store cannot be reached
    int openKeys = 0;       // opened and not yet closed
};

extern FakeStoreControl FakeStore;

// Empties the store and the switches (not CallLog).
void ResetFakeStore();
// A REG_DWORD value of four little-endian bytes.
void PutFakeDword(const std::string& keyPath, const std::string& name, uint32_t value);
// The value, or null when the key or the value is missing.
const FakeStoreValue* FindFakeValue(const std::string& keyPath, const std::string& name);
