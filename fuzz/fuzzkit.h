// Helpers shared by the fuzz targets: a private scratch directory per process
// and the packing of several files into one fuzzer input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "factory/area_id.h"

namespace mvx::fuzz {

// A directory of this process, emptied on every call.
const std::string& ScratchDir();
void ClearScratchDir();

// Splits an input into files: each file is a 4-byte little-endian length and
// that many bytes; a length that runs past the input takes what is left, and
// missing files are empty.
std::vector<std::string> Unpack(const std::uint8_t* data, std::size_t size, std::size_t files);
// The inverse, for making seeds.
std::string Pack(const std::vector<std::string>& files);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Opens the area (never creating it), walks it forwards and backwards and
// loads every message and its fields; then adds one message, so that the
// writer's damage checks run too.
void ExerciseArea(const AreaId& area);

}  // namespace mvx::fuzz
