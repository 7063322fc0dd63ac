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
  const std::string& Indent() const { return indent_; }

 private:
  std::string indent_;
  std::string body_;
};

std::string Score(const ModuleRecord& m, int slot) {
  ScoreSlot s = m.score(slot);
  return "{\"percent\": " + Num(s.percent) + ", \"valid\": " + (s.counts() ? "true" : "false") + "}";
}

// The JSON form of one test's figures: each call of the walk becomes a member
// of the figures object, groups nested objects.
class JsonFigures : public FigureSink {
 public:
  explicit JsonFigures(std::string indent) { stack_.emplace_back(std::move(indent), ""); }
  void Number(const char* name, double v) override { Top().Number(name, v); }
  void Array(const char* name, const double* v, size_t n) override {
    std::string out = "[";
    for (size_t i = 0; i < n; ++i) out += (i ? ", " : "") + Num(v[i]);
    Top().Raw(name, out + "]");
  }
  void PerBlockSize(const double* v, int n) override {
    std::string sizes = "[";
    for (int j = 0; j < n; ++j)
      sizes += std::string(j ? ", " : "") + "{\"bytes\": " + std::to_string(128ull << j) +
               ", \"value\": " + Num(v[j]) + "}";
    Top().Raw("perBlockSize", sizes + "]");
  }
  void BeginGroup(const char* name) override { stack_.emplace_back(Obj(indent0() + "  "), name); }
  void EndGroup() override {
    auto [obj, name] = std::move(stack_.back());
    stack_.pop_back();
    Top().Raw(name, obj.Done());
  }
  std::string Done() const { return stack_.front().first.Done(); }

 private:
  Obj& Top() { return stack_.back().first; }
  std::string indent0() const { return stack_.front().first.Indent(); }
  std::vector<std::pair<Obj, std::string>> stack_;
};

}  // namespace

namespace {

// A sweep of per-size figures (block size 128 << (j - 1)), then minimum,
// maximum and average.
void Sweep(const ModuleRecord& m, const FigureLayout& f, FigureSink& sink) {
  double sizes[17];
  const int n = f.count < 17 ? f.count : 17;
  for (int j = 0; j < n; ++j) sizes[j] = m.figure(f.at(j));
  sink.PerBlockSize(sizes, n);
  sink.Number("minimum", m.figure(f.minimum()));
  sink.Number("maximum", m.figure(f.maximum()));
  sink.Number("average", m.figure(f.average()));
}

void Array(const ModuleRecord& m, const char* name, size_t base, size_t count, size_t stride, FigureSink& sink) {
  double v[16];
  for (size_t i = 0; i < count && i < 16; ++i) v[i] = m.figure(base + stride * i);
  sink.Array(name, v, count < 16 ? count : 16);
}

}  // namespace

void WalkFigures(const ModuleRecord& m, const CatalogueEntry& e, FigureSink& o) {
  const FigureLayout& f = e.figures;
  if (e.section == Section::Processor) {
    switch (e.position) {
      case cpu::kBogomips: o.Number("bogomips", m.figure(f.score)); break;
      case cpu::kDhrystones: o.Number("dhrystones", m.figure(f.score)); break;
      case cpu::kFibonacci: o.Number("fibonacci", m.figure(f.score)); break;
      case cpu::kFpu:  // the eight modules, then the four MFlops figures
        Array(m, "modules", f.at(0), 8, 8, o);
        Array(m, "mflops", f.at(8), 4, 8, o);
        o.Number("mean", m.figure(f.score));
        break;
      case cpu::kJpeg: {  // write and read alternate per colour space
        static const char* const kSpaces[] = {"RGB", "YUV", "CMYK", "YCCK", "GRAYSCALE"};
        for (int pass = 0; pass < 2; ++pass) {
          o.BeginGroup(pass == 0 ? "write" : "read");
          for (int c = 0; c < 5; ++c) o.Number(kSpaces[c], m.figure(f.at(2 * c + pass)));
          o.EndGroup();
        }
        o.Number("mean", m.figure(f.score));
        break;
      }
      case cpu::kMars:
        o.Number("setup", m.figure(f.at(0)));
        o.Number("encrypting", m.figure(f.at(1)));
        o.Number("decrypting", m.figure(f.at(2)));
        o.Number("mean", m.figure(f.score));
        break;
      case cpu::kMd5: o.Number("md5", m.figure(f.score)); break;
      case cpu::kMp3: o.Number("mp3", m.figure(f.score)); break;
      case cpu::kSerpent:
        o.Number("encrypting", m.figure(f.at(0)));
        o.Number("decrypting", m.figure(f.at(1)));
        o.Number("mean", m.figure(f.score));
        break;
      case cpu::kZLib:  // deflate and inflate alternate per case
        Array(m, "deflate", f.at(0), 9, 16, o);
        Array(m, "inflate", f.at(1), 9, 16, o);
        o.Number("mean", m.figure(f.score));
        break;
    }
    return;
  }
  if (f.sweep) {
    Sweep(m, f, o);
    return;
  }
  if (e.section == Section::Drive && e.position == 17) {  // Seek on Device
    Array(m, "patterns", f.base, size_t(f.count), 8, o);
    o.Number("randomAverage", m.figure(rec::kSeekDeviceAverages));
    o.Number("sequentialAverage", m.figure(rec::kSeekDeviceAverages + 8));
    o.Number("totalAverage", m.figure(f.score));
    return;
  }
  o.Number("value", m.figure(f.score));  // the file-system operations and SpinUP Device
}

namespace {

std::string Figures(const ModuleRecord& m, const CatalogueEntry& e, const std::string& in) {
  JsonFigures sink(in);
  WalkFigures(m, e, sink);
  return sink.Done();
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
