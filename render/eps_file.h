// Writes the EPS file from the driver's document without ever truncating an
// existing EPS: the new file is written whole beside it under a name of its
// own and then moved over it in one step.
#pragma once

#include <string>

#include "eps/geometry.h"

// Writes the driver's document with the box to a new file in the output's
// folder, flushed to the disk, and returns its path; empty when it cannot be
// written whole, with nothing left behind.
std::string WriteStagedEps(const char* driverFile, const char* outputPath, const BoundingBox& box);
// Moves the staged file over the output path in one step; on failure the
// staged file is removed and an existing output stays as it was.
bool ReplaceWithStaged(const std::string& staged, const char* outputPath);

// The two in turn: whether outputPath now holds the EPS file.
bool WriteEpsFile(const char* driverFile, const char* outputPath, const BoundingBox& box);
