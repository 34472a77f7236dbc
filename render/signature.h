#pragma once
// A 64-bit fingerprint of a sequence of values (FNV-1a over their bytes): two
// tiles drawn from values with the same signature show the same pixels.

#include <cstddef>
#include <cstdint>

namespace Kelvane {

class Signature {
public:
    Signature& Add(float value);
    Signature& Add(int value);
    Signature& Add(uint64_t value);
    Signature& Add(const void* pointer);
    uint64_t Value() const { return hash; }

private:
    Signature& Add_Bytes(const void* bytes, size_t count);

    uint64_t hash = 14695981039346656037ull;
};

}  // namespace Kelvane
