// The device-level tests of the drive section: Read from Device, Write to
// Device, Seek on Device and SpinUP Device, each in two variants that talk to
// the device of the drive information record through the open device
// connection: NSD-64 (64-bit NSD commands at byte offsets) and Direct-SCSI
// (command descriptor blocks through HD_SCSICMD). The section opens the
// connection before a test and closes it after.
//
// Each test returns its result as a value; its card is written from it.
// A device error (a non-zero error byte) ends the test's device work: the
// result still holds what was measured, the test is not scored, and
// no error-log entry is made (the device's answer is the only signal).
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// The logical block every transfer test works at.
inline constexpr uint32_t kDeviceTestBlock = 123;

// Read from Device and Write to Device: for each block size from lowStep to
// highStep (block-size steps, doubling) the span of that size at block 123
// is read (or, for writing, first read and then written back unchanged)
// transfer / size times; MB/s per step, minimum, maximum and average, and the
// score of the average. A step whose size is not a whole number of sectors
// is not sent to the device (its line shows 0.00, the test is not scored).
// `mode` is kAccessDirectScsi or kAccessNsd64.
TestResult RunDeviceTransferTest(Context& ctx, bool write, int16_t mode, uint64_t transfer, int32_t lowStep,
                                 int32_t highStep, int32_t cacheOn, int32_t multitaskingOn);

// Seek on Device: seven position patterns of 100 accesses each (a 5-second
// wait before each), milliseconds per access, their averages and a score of
// 50 / total average. A stop request during a wait ends the test unscored.
TestResult RunSeekOnDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t multitaskingOn);

// SpinUP Device: waits 5 s, stops the device, waits 15 s, times the start,
// waits 5 s; score 50 / seconds. A device that cannot be stopped is a device
// error (the waits after it are left out). The device is started again even
// when a stop request cut a wait short; the test is then not scored.
TestResult RunSpinUpDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t multitaskingOn);

}  // namespace kr
