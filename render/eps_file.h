// Writes the EPS file from the driver's document without ever truncating an
// existing EPS: the new file is written whole beside it under a name of its
// own and then moved over it in one step.
#pragma once

#include <string>

#include "eps/geometry.h"
#include "job_status.h"

// The staged EPS file: DONE and its path, or why there is none (the path
// then empty).
struct StagedEps {
    JobStatus status;
    std::string path;
};

// Writes the driver's document with the box to a new file in the output's
// folder, flushed to the disk. Nothing is left behind when it cannot be
// written whole: DOCUMENT_NOT_POSTSCRIPT when the driver's document is not
// PostScript (a PDF, an XPS or PCL stream), EPS_NOT_WRITTEN otherwise.
StagedEps WriteStagedEps(const char* driverFile, const char* outputPath, const BoundingBox& box);
// Moves the staged file over the output path in one step; on failure the
// staged file is removed and an existing output stays as it was.
bool ReplaceWithStaged(const std::string& staged, const char* outputPath);

// The two in turn: DONE when outputPath now holds the EPS file, or why not.
JobStatus WriteEpsFile(const char* driverFile, const char* outputPath, const BoundingBox& box);
