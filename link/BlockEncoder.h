#pragma once
// One frame of a message as it goes on the line after the peer's DLE: the
// data with every DLE doubled, then DLE and ETX (last block) or ETB, and the
// block check character, the XOR of all those bytes.
#include <cstdint>
#include <span>
#include <vector>

namespace zk::link {

enum class BlockEnd { Last, More };

// Replaces out with the frame body (without the check character) and
// returns the check character.
uint8_t EncodeBlock(std::span<const uint8_t> data, BlockEnd end, std::vector<uint8_t>& out);

}  // namespace zk::link
