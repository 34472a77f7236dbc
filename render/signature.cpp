#include "render/signature.h"

namespace Kelvane {

namespace {

const uint64_t FNV_PRIME = 1099511628211ull;

}  // namespace

Signature& Signature::Add_Bytes(const void* bytes, size_t count) {
    const unsigned char* byte = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; i++) hash = (hash ^ byte[i]) * FNV_PRIME;
    return *this;
}

// The float's bits: -0 and 0 differ, as do NaNs of other payloads, which only costs a redraw.
Signature& Signature::Add(float value) { return Add_Bytes(&value, sizeof(value)); }
Signature& Signature::Add(int value) { return Add_Bytes(&value, sizeof(value)); }
Signature& Signature::Add(uint64_t value) { return Add_Bytes(&value, sizeof(value)); }
Signature& Signature::Add(const void* pointer) { return Add_Bytes(&pointer, sizeof(pointer)); }

}  // namespace Kelvane
