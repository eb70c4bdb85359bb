#include "fake_store.h"

#include <cstdio>
#include <cstring>

#include "call_log.h"

FakeStoreControl FakeStore;

namespace {

struct FakeKey {
    std::string path;
    uint32_t access = 0;
};

// Handles are indices + 1 into this list; closed keys keep their slot, so a stale handle is
// recognised.
std::vector<FakeKey> OpenedKeys;
std::vector<bool> KeyOpen;

FakeKey* KeyFromHandle(StoreKey key)
{
    if (key == 0 || key > OpenedKeys.size() || !KeyOpen[key - 1]) return nullptr;
    return &OpenedKeys[key - 1];
}

}  // namespace

void ResetFakeStore()
{
    FakeStore = FakeStoreControl{};
    OpenedKeys.clear();
    KeyOpen.clear();
}

void PutFakeDword(const std::string& keyPath, const std::string& name, uint32_t value)
{
    FakeStoreValue& stored = FakeStore.keys[keyPath][name];
    stored.type = StoreTypeDword;
    stored.data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

const FakeStoreValue* FindFakeValue(const std::string& keyPath, const std::string& name)
{
    const auto key = FakeStore.keys.find(keyPath);
    if (key == FakeStore.keys.end()) return nullptr;
    const auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
}

StoreKey OpenStoreKey(const char* path, uint32_t access)
{
    char accessText[16];
    std::snprintf(accessText, sizeof accessText, "0x%X", access);
    CallLog.push_back("OpenStoreKey " + std::string(path) + " " + accessText);
    if (FakeStore.failOpen) return 0;
    FakeStore.keys[path];  // opening creates the key, whatever the access
    OpenedKeys.push_back({path, access});
    KeyOpen.push_back(true);
    ++FakeStore.openKeys;
    return OpenedKeys.size();
}

bool QueryStoreValue(StoreKey key, const char* name, uint32_t& type, void* buffer,
                     uint32_t capacity, uint32_t& length)
{
    CallLog.push_back("QueryStoreValue " + std::string(name) + " " + std::to_string(capacity));
    length = 0;
    const FakeKey* opened = KeyFromHandle(key);
    if (opened == nullptr || (opened->access & StoreAccessQueryValue) == 0) return false;
    const FakeStoreValue* value = FindFakeValue(opened->path, name);
    if (value == nullptr) return false;
    length = static_cast<uint32_t>(value->data.size());
    if (value->data.size() > capacity) return false;
    if (!value->data.empty()) std::memcpy(buffer, value->data.data(), value->data.size());
    type = value->type;
    return true;
}

bool SetStoreValue(StoreKey key, const char* name, uint32_t type, const void* data, uint32_t length)
{
    CallLog.push_back("SetStoreValue " + std::string(name) + " " + std::to_string(type) + " " +
                      std::to_string(length));
    const FakeKey* opened = KeyFromHandle(key);
    if (opened == nullptr || (opened->access & StoreAccessSetValue) == 0) return false;
    FakeStoreValue& stored = FakeStore.keys[opened->path][name];
    stored.type = type;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    stored.data.assign(bytes, bytes + length);
    return true;
}

void CloseStoreKey(StoreKey key)
{
    CallLog.push_back("CloseStoreKey");
    if (KeyFromHandle(key) == nullptr) return;
    KeyOpen[key - 1] = false;
    --FakeStore.openKeys;
}
