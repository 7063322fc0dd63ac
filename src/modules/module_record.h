// The module record: the 9504-byte results record with its descriptive part
// (who, which machine and system, which drive, when, serial, version, build,
// comment), its serial, the scrambler, the validity test and module files.
// The results area (bytes 0..7231) is described in records/results.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/module_layout.h"

namespace kr {

struct Context;
class Dos;

// The native-build text of this host: "Linux (" + the machine architecture
// as uname reports it + ")", cut to the field (31 characters).
std::string NativeBuildText();

// The processor-clock text: "%0.2f" of loopRate x 50 / 49710200, where
// loopRate is the loop count the BogoMIPS workload kept.
std::string ProcessorClockText(uint64_t loopRate);

// Fills the descriptive part of `m` (from offset 0x1C40 on; the date and
// time fields are left as MakeStamp wrote them) from the settings, the
// system information, the drive information and the host flags of ctx, and
// then sets its serial. The results area is not touched.
void FillModuleDescription(const Context& ctx, ModuleRecord& m);

// The MD5 digest of all 9504 bytes of m as the serial text: "0x" followed by
// 32 upper-case hexadecimal digits (first digest byte first).
std::string ComputeModuleSerial(const ModuleRecord& m);
// Computes the serial over the record as it stands (serial field included)
// and stores it, with its NUL, at the serial field.
void MakeModuleSerial(ModuleRecord& m);

// True when s is exactly "0x" followed by 32 upper-case hexadecimal digits:
// the only form a serial may have when it becomes part of a file name.
bool IsWellFormedSerial(std::string_view s);
// True when the serial an (unscrambled) module carries is the MD5 of its
// bytes with the serial field empty, as it was made: the bytes are the
// module's own, not damaged or put together from others.
bool SerialMatchesContents(const ModuleRecord& m);

// Scrambles or unscrambles a record in place (the same operation): byte i
// (0..9502) is XORed with (draw of the generator seeded kScrambleSeed + i)
// mod 255; the last byte passes through.
void ScrambleModule(ModuleRecord& m);

// The version and validity test.
enum class ModuleValidity { Valid, NotValid, TooOld };
// Without requester: NotValid when the serial field does not hold a
// well-formed serial (it must start with "0x" and, so that it can name a
// file, continue with exactly 32 upper-case hexadecimal digits); TooOld when
// the version reads 0.949 or lower; Valid otherwise (a version with no
// digits included).
ModuleValidity CheckModule(const ModuleRecord& m);
// CheckModule, showing the not-valid or too-old requester on failure.
bool ValidateModule(Context& ctx, const ModuleRecord& m);
// The not-valid requester alone (used wherever a serial is refused).
void ShowNotValid(Context& ctx);

// Reading a module file: at most 9504 bytes are read; a file that gives
// fewer is ShortFile; the bytes are unscrambled and validated (requester on
// failure) and only a valid record is copied into `dest`.
enum class ModuleRead { Ok, OpenFailed, ShortFile, Invalid };
// The stored (scrambled) 9504 bytes of a module file, without a request:
// Ok, OpenFailed or ShortFile.
ModuleRead ReadStoredModule(Dos& dos, std::string_view path, ModuleRecord& stored);
ModuleRead ReadModuleFile(Context& ctx, std::string_view path, ModuleRecord& dest);
// Writing a module file: the scrambled copy of `m`, 9504 bytes, written as a
// new file beside the target and renamed over it; false (and no file, no
// leftover) when the write failed.
bool WriteModuleFile(Context& ctx, std::string_view path, const ModuleRecord& m);

}  // namespace kr
