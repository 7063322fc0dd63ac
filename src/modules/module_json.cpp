#include "modules/module_json.h"

#include <charconv>
#include <cmath>

#include "records/catalogue.h"
#include "util/latin1.h"

namespace kr {

namespace {

std::string Field(const ModuleRecord& m, size_t offset, size_t width) {
  return std::string(m.text(offset, width));
}

size_t Group(int g) { return mod::kHardware + mod::kHardwareGroupSize * size_t(g); }

// A Latin-1 text as a JSON string (UTF-8; the C0 and C1 controls and DEL
// escaped, so the text is safe to show on a terminal).
std::string Str(std::string_view latin1) {
  std::string out = "\"";
  for (unsigned char c : latin1) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", unsigned(c));
          out += b;
        } else if (c < 0x80) {
          out += char(c);
        } else {
          out += char(0xC0 | (c >> 6));
          out += char(0x80 | (c & 0x3F));
        }
    }
  }
  return out + "\"";
}

// A double in its shortest exact form, independent of the locale; null when
// it is not a finite number (JSON has no other form for it).
std::string Num(double v) {
  if (!std::isfinite(v)) return "null";
  char b[32];
  auto r = std::to_chars(b, b + sizeof b, v);
  return std::string(b, r.ptr);
}

// Small writer for one object at a time: members separated by commas.
class Obj {
 public:
  explicit Obj(std::string indent) : indent_(std::move(indent)) {}
  Obj& Raw(std::string_view key, const std::string& json) {
    body_ += (body_.empty() ? "\n" : ",\n") + indent_ + "  \"" + std::string(key) + "\": " + json;
    return *this;
  }
  Obj& Text(std::string_view key, std::string_view latin1) { return Raw(key, Str(latin1)); }
  Obj& Number(std::string_view key, double v) { return Raw(key, Num(v)); }
  std::string Done() const { return body_.empty() ? "{}" : "{" + body_ + "\n" + indent_ + "}"; }

 private:
  std::string indent_;
  std::string body_;
};

std::string Array(const ModuleRecord& m, size_t base, size_t count, size_t stride = 8) {
  std::string out = "[";
  for (size_t i = 0; i < count; ++i) out += (i ? ", " : "") + Num(m.figure(base + stride * i));
  return out + "]";
}

std::string Score(const ModuleRecord& m, int slot) {
  ScoreSlot s = m.score(slot);
  return "{\"percent\": " + Num(s.percent) + ", \"valid\": " + (s.counts() ? "true" : "false") + "}";
}

// A sweep of n per-size figures (block size 128 << (j - 1)), then minimum,
// maximum and average.
std::string Sweep(const ModuleRecord& m, size_t base, int n, const std::string& in) {
  std::string sizes = "[";
  for (int j = 0; j < n; ++j) {
    sizes += std::string(j ? ", " : "") + "{\"bytes\": " + std::to_string(128ull << j) +
             ", \"value\": " + Num(m.figure(base + 8 * size_t(j))) + "}";
  }
  sizes += "]";
  return Obj(in)
      .Raw("perBlockSize", sizes)
      .Number("minimum", m.figure(base + 8 * size_t(n)))
      .Number("maximum", m.figure(base + 8 * size_t(n) + 8))
      .Number("average", m.figure(base + 8 * size_t(n) + 16))
      .Done();
}

// The raw figures of one catalogue test.
std::string Figures(const ModuleRecord& m, const CatalogueEntry& e, const std::string& in) {
  Obj o(in);
  if (e.section == Section::Processor) {
    switch (e.position) {
      case cpu::kBogomips: o.Number("bogomips", m.figure(rec::kBogomips)); break;
      case cpu::kDhrystones: o.Number("dhrystones", m.figure(rec::kDhrystones)); break;
      case cpu::kFibonacci: o.Number("fibonacci", m.figure(rec::kFibonacci)); break;
      case cpu::kFpu:
        o.Raw("modules", Array(m, rec::kFpuModule, 8)).Raw("mflops", Array(m, rec::kFpuMflops, 4));
        o.Number("mean", m.figure(rec::kFpuMean));
        break;
      case cpu::kJpeg: {
        static const char* const kSpaces[] = {"RGB", "YUV", "CMYK", "YCCK", "GRAYSCALE"};
        Obj write(in + "  "), read(in + "  ");
        for (size_t c = 0; c < 5; ++c) {
          write.Number(kSpaces[c], m.figure(rec::kJpegFirst + 16 * c));
          read.Number(kSpaces[c], m.figure(rec::kJpegFirst + 16 * c + 8));
        }
        o.Raw("write", write.Done()).Raw("read", read.Done()).Number("mean", m.figure(rec::kJpegMean));
        break;
      }
      case cpu::kMars:
        o.Number("setup", m.figure(rec::kMarsSetup)).Number("encrypting", m.figure(rec::kMarsEncrypt));
        o.Number("decrypting", m.figure(rec::kMarsDecrypt)).Number("mean", m.figure(rec::kMarsMean));
        break;
      case cpu::kMd5: o.Number("md5", m.figure(rec::kMd5)); break;
      case cpu::kMp3: o.Number("mp3", m.figure(rec::kMp3)); break;
      case cpu::kSerpent:
        o.Number("encrypting", m.figure(rec::kSerpentEncrypt)).Number("decrypting", m.figure(rec::kSerpentDecrypt));
        o.Number("mean", m.figure(rec::kSerpentMean));
        break;
      case cpu::kZLib:
        o.Raw("deflate", Array(m, rec::kZLibDeflate, 9, 16)).Raw("inflate", Array(m, rec::kZLibInflate, 9, 16));
        o.Number("mean", m.figure(rec::kZLibMean));
        break;
    }
    return o.Done();
  }
  if (e.section == Section::Memory) {
    const rec::MemoryBlock& b = rec::kMemoryBlocks[e.position];
    return Sweep(m, b.base, b.slots, in);
  }
  int order = e.slot - slot::kDriveFirst;  // module order 0..17
  switch (order) {
    case 0: return Sweep(m, rec::kReadFile, 17, in);
    case 1: return Sweep(m, rec::kWriteFile, 17, in);
    case 14: return Sweep(m, rec::kReadDevice, 17, in);
    case 15: return Sweep(m, rec::kWriteDevice, 17, in);
    case 16:
      o.Raw("patterns", Array(m, rec::kSeekDevice, 7));
      o.Number("randomAverage", m.figure(rec::kSeekDeviceAverages));
      o.Number("sequentialAverage", m.figure(rec::kSeekDeviceAverages + 8));
      o.Number("totalAverage", m.figure(rec::kSeekDeviceAverages + 16));
      return o.Done();
    case 17: return o.Number("value", m.figure(rec::kSpinUpDevice)).Done();
    default: return o.Number("value", m.figure(rec::kFileSystemOps + 8 * size_t(order - 2))).Done();
  }
}

const char* SectionName(Section s) {
  return s == Section::Processor ? "Processor" : s == Section::Memory ? "Memory" : "Hard Drive";
}

std::string OneModule(const ModuleRecord& m) {
  const std::string in = "    ";
  const std::string in2 = in + "  ";
  ModuleDescription d = DescribeModule(m);

  Obj hardware(in2);
  static const char* const kGroups[] = {"mainModel", "busboard", "accelerator", "controller"};
  for (int g = 0; g < 4; ++g) {
    Obj h(in2 + "  ");
    h.Text("vendor", Field(m, Group(g) + mod::kHardwareVendor, mod::kHardwareTextWidth));
    h.Text("model", Field(m, Group(g) + mod::kHardwareModel, mod::kHardwareTextWidth));
    h.Text("other", Field(m, Group(g) + mod::kHardwareOther, mod::kHardwareTextWidth));
    hardware.Raw(kGroups[g], h.Done());
  }
  Obj system(in2);
  system.Text("cpu", d.cpu).Text("fpu", d.fpu).Text("mmu", d.mmu).Text("totalFast", d.totalFast);
  system.Text("totalChip", d.totalChip).Text("os", d.osVersion).Text("ks", d.ksVersion).Text("wb", d.wbVersion);
  system.Text("realMhz", d.realMhz).Text("overclocked", d.overclocked);
  Obj drive(in2);
  drive.Text("vendor", d.diskVendor).Text("product", d.diskProduct).Text("revision", d.diskRevision);
  drive.Text("device", d.deviceName).Text("fileSystem", d.fileSystem).Text("size", d.driveSize);
  Obj totals(in2);
  totals.Raw("processor", Score(m, slot::kProcessorTotal)).Raw("memory", Score(m, slot::kMemoryTotal));
  totals.Raw("hardDrive", Score(m, slot::kDriveTotal)).Raw("system", Score(m, slot::kSystemTotal));
  totals.Raw("fileSystemGroup", Score(m, slot::kFileSystemGroup));

  std::string tests = "[";
  for (int i = 0; i < kCatalogueSize; ++i) {
    const CatalogueEntry& e = kCatalogue[i];
    Obj t(in2 + "  ");
    t.Text("section", SectionName(e.section)).Text("name", e.label).Text("unit", e.unit);
    t.Number("reference", e.reference).Number("weight", e.weight);
    t.Raw("score", Score(m, e.slot)).Raw("figures", Figures(m, e, in2 + "  "));
    tests += std::string(i ? "," : "") + "\n" + in2 + "  " + t.Done();
  }
  tests += "\n" + in2 + "]";

  Obj o(in);
  o.Text("serial", d.serial).Text("version", Field(m, mod::kVersion, mod::kVersionWidth));
  o.Text("nativeBuild", d.nativeBuild).Text("date", d.date).Text("time", d.time);
  o.Text("userName", d.userName).Text("realName", d.realName).Text("location", d.location);
  o.Text("email", d.email).Text("homepage", d.homepage).Text("comment", d.comment);
  o.Raw("hardware", hardware.Done()).Raw("system", system.Done()).Raw("drive", drive.Done());
  o.Raw("totals", totals.Done()).Raw("tests", tests);
  return o.Done();
}

}  // namespace

std::string ModulesJson(const std::vector<ModuleRecord>& modules) {
  std::string list = "[";
  for (size_t i = 0; i < modules.size(); ++i) list += std::string(i ? "," : "") + "\n    " + OneModule(modules[i]);
  list += modules.empty() ? "]" : "\n  ]";
  return "{\n  \"format\": \"kelvarank-modules\",\n  \"version\": 1,\n  \"modules\": " + list + "\n}\n";
}

}  // namespace kr
