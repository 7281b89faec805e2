// 64-bit FNV-1a, the one hash of saving: over 8-byte words, the journal's checksum; over the
// units of a name, what tells apart two long names cut to the same beginning.
#ifndef QUILLET_SAVE_FNV1A_H
#define QUILLET_SAVE_FNV1A_H

#include <cstdint>

namespace quillet::fnv1a {

constexpr std::uint64_t offsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t prime = 0x100000001b3ULL;

constexpr std::uint64_t step(std::uint64_t hash, std::uint64_t unit)
{
    return (hash ^ unit) * prime;
}

// The hash of a string's units, each taken as a Unit.
template<class Unit, class Text> std::uint64_t of(const Text &text)
{
    std::uint64_t hash = offsetBasis;
    for (const auto c : text)
        hash = step(hash, static_cast<Unit>(c));
    return hash;
}

} // namespace quillet::fnv1a

#endif // QUILLET_SAVE_FNV1A_H
