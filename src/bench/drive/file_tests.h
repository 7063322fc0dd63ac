// The file-system operation tests of the drive section: twelve tests that
// apply one dos call to every scratch file of the benchmark directory (or to
// a data file copy) and report operations per second, on one shared card.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

struct BenchFiles;

// The twelve tests in the order the section runs them; Create Files leaves
// the handles Set Filesize and Close from Write use, Open Files those of
// Close from Read, Delete Files removes the scratch files, so only this
// order works.
enum class FileOp : uint8_t {
  CreateFiles, SetFilesize, CloseFromWrite, OpenFiles, CloseFromRead, SetComment,
  SetProtection, SetDate, DirectoryScan, DeleteFiles, SeekInFile, RenameFiles,
};
inline constexpr int kFileOpCount = 12;

// The catalogue position (1..18) and the drive cpuCache index of a test.
int FileOpCatalogueEntry(FileOp op);
int FileOpCacheIndex(FileOp op);

// Runs one test over files 0 .. fileCount - 1 (at most kScratchNameCount):
// its phases, preparation, the timed loop, the figure (raw figure and score
// slot of the results record) with its score, returned as the test's
// result; its card line is written from it. Create Files opens the group's
// card (its head); the others go on with it. A call that fails inside the loop is
// counted (the loop makes no other call); a test with failures keeps its
// figure, is not scored and logs one error entry ("DRIVE", its label,
// "<k> of <n> operations failed", then ": " and the system's reason
// for the last failing call when it gave one).
TestResult RunFileOpTest(Context& ctx, BenchFiles& files, FileOp op, int32_t cacheOn, int32_t multitaskingOn,
                         int32_t fileCount);

// Read from File and Write to File: for each block size from lowStep to
// highStep (block-size steps 1..17, doubling) the size's data file copy is
// read (or "foobar.bin" written) fileSize / size times from its start, the
// MB/s figure goes to the step's slot and is a sweep point of the result;
// then minimum, maximum, average and the score of the average. A step that fails (buffer,
// open, or a call in its loop) is logged; a test with a failed step is not
// scored.
enum class FileTransfer : uint8_t { Read, Write };
TestResult RunFileTransferTest(Context& ctx, BenchFiles& files, FileTransfer kind, uint64_t fileSize, int32_t lowStep,
                               int32_t highStep, int32_t cacheOn, int32_t multitaskingOn);

// The group card's foot after its twelfth test: the mean of the twelve
// scores into the group slot when every one is scored, else DISABLED. The
// result has no test of its own (card.test is null).
TestResult FinishFileOpGroup(Context& ctx);

}  // namespace kr
