// The settings store as the current user's registry.
#include <windows.h>

#include <cstring>
#include <vector>

#include "settings/settings_store.h"

namespace {

HKEY ToHkey(StoreKey key)
{
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

StoreKey OpenStoreKey(const char* path, uint32_t access)
{
    // The class string is what the key has always been created with.
    static char keyClass[] = "szREGSZ";
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, keyClass,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return 0;
    return reinterpret_cast<StoreKey>(key);
}

bool QueryStoreValue(StoreKey key, const char* name, uint32_t& type, void* buffer,
                     uint32_t capacity, uint32_t& length)
{
    length = 0;
    if (key == 0) return false;
    // A value that does not fit leaves the registry's buffer undefined, so the value goes
    // through a scratch buffer and reaches the caller only when it was read whole.
    std::vector<BYTE> scratch(capacity == 0 ? 1 : capacity);
    DWORD valueType = 0;
    DWORD size = capacity;
    const LONG result =
        RegQueryValueExA(ToHkey(key), name, nullptr, &valueType, scratch.data(), &size);
    if (result == ERROR_MORE_DATA) {
        length = size;
        return false;
    }
    if (result != ERROR_SUCCESS || size > capacity) return false;
    std::memcpy(buffer, scratch.data(), size);
    type = valueType;
    length = size;
    return true;
}

bool SetStoreValue(StoreKey key, const char* name, uint32_t type, const void* data, uint32_t length)
{
    if (key == 0) return false;
    return RegSetValueExA(ToHkey(key), name, 0, type, static_cast<const BYTE*>(data), length) ==
           ERROR_SUCCESS;
}

void CloseStoreKey(StoreKey key)
{
    if (key != 0) RegCloseKey(ToHkey(key));
}
