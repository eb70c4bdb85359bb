// The per-user key-value store that holds the settings, with the registry's meaning: keys by
// path below the current user's root, named values with a type and bytes. One back end per
// build: the registry on Windows, a registry-format text file elsewhere; tests use a fake.
#pragma once

#include <cstdint>

// An open key; 0 is none. Every operation on 0 fails and changes nothing.
using StoreKey = uintptr_t;

// Access masks as the registry defines them.
inline constexpr uint32_t StoreAccessRead = 0x20019;   // KEY_READ
inline constexpr uint32_t StoreAccessWrite = 0x20006;  // KEY_WRITE
inline constexpr uint32_t StoreAccessQueryValue = 0x0001;
inline constexpr uint32_t StoreAccessSetValue = 0x0002;

// Value types as the registry numbers them.
inline constexpr uint32_t StoreTypeString = 1;  // REG_SZ
inline constexpr uint32_t StoreTypeBinary = 3;  // REG_BINARY
inline constexpr uint32_t StoreTypeDword = 4;   // REG_DWORD, little-endian

// Opens the key at path (below the current user's root), creating it when it is missing.
// 0 when the store cannot be reached.
StoreKey OpenStoreKey(const char* path, uint32_t access);

// Copies the named value into buffer when it is at most capacity bytes long; then true, with
// its type and length. False when it is absent, longer than capacity or unreadable, or the key
// was not opened for reading: then buffer is untouched, and length is the value's length when
// it exists (0 otherwise).
bool QueryStoreValue(StoreKey key, const char* name, uint32_t& type, void* buffer,
                     uint32_t capacity, uint32_t& length);

// Creates or replaces the named value. False when the key was not opened for writing or the
// store refused.
bool SetStoreValue(StoreKey key, const char* name, uint32_t type, const void* data,
                   uint32_t length);

// Closes the key; a key opened for writing is made durable here at the latest.
void CloseStoreKey(StoreKey key);
