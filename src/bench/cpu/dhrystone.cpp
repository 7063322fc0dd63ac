// Dhrystone 1.1. The procedures keep their published names and bodies; the
// globals are the fields of a per-run State passed to each procedure. Every
// procedure is noipa (no inlining, cloning or interprocedural shortcuts), so
// the call pattern that defines the figure is kept. Func_1 only compares its
// characters, as version 1.1 does.
#include "bench/cpu/dhrystone.h"

#include <cstring>
#include <memory>

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "records/catalogue.h"
#include "engine/errorlog.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/noipa.h"

#define DHRY_PROC KR_NOIPA

namespace kr {
namespace dhry {
namespace {

using One_Thirty = int32_t;
using One_Fifty = int32_t;
using Capital_Letter = char;
using Str_30 = char[31];
using Arr_1_Dim = int32_t[50];
using Arr_2_Dim = int32_t[50][50];

DHRY_PROC void Proc_1(State& g, Record* Ptr_Val_Par);
DHRY_PROC void Proc_2(State& g, One_Fifty* Int_Par_Ref);
DHRY_PROC void Proc_3(State& g, Record** Ptr_Ref_Par);
DHRY_PROC void Proc_4(State& g);
DHRY_PROC void Proc_5(State& g);
DHRY_PROC void Proc_6(State& g, Enumeration Enum_Val_Par, Enumeration* Enum_Ref_Par);
DHRY_PROC void Proc_7(One_Fifty Int_1_Par_Val, One_Fifty Int_2_Par_Val, One_Fifty* Int_Par_Ref);
DHRY_PROC void Proc_8(State& g, Arr_1_Dim Arr_1_Par_Ref, Arr_2_Dim Arr_2_Par_Ref, int32_t Int_1_Par_Val,
                      int32_t Int_2_Par_Val);
DHRY_PROC Enumeration Func_1(Capital_Letter Ch_1_Par_Val, Capital_Letter Ch_2_Par_Val);
DHRY_PROC bool Func_2(const Str_30 Str_1_Par_Ref, const Str_30 Str_2_Par_Ref);
DHRY_PROC bool Func_3(Enumeration Enum_Par_Val);

void Proc_1(State& g, Record* Ptr_Val_Par) {
  Record* Next_Record = Ptr_Val_Par->Ptr_Comp;
  *Next_Record = *g.Ptr_Glob;
  Ptr_Val_Par->Int_Comp = 5;
  Next_Record->Int_Comp = Ptr_Val_Par->Int_Comp;
  Next_Record->Ptr_Comp = Ptr_Val_Par->Ptr_Comp;
  Proc_3(g, &Next_Record->Ptr_Comp);
  if (Next_Record->Discr == Ident_1) {
    Next_Record->Int_Comp = 6;
    Proc_6(g, Ptr_Val_Par->Enum_Comp, &Next_Record->Enum_Comp);
    Next_Record->Ptr_Comp = g.Ptr_Glob->Ptr_Comp;
    Proc_7(Next_Record->Int_Comp, 10, &Next_Record->Int_Comp);
  } else {
    *Ptr_Val_Par = *Ptr_Val_Par->Ptr_Comp;
  }
}

void Proc_2(State& g, One_Fifty* Int_Par_Ref) {
  One_Fifty Int_Loc = *Int_Par_Ref + 10;
  Enumeration Enum_Loc = Ident_2;  // set before use: Ch_1_Glob is 'A' here
  for (;;) {
    if (g.Ch_1_Glob == 'A') {
      --Int_Loc;
      *Int_Par_Ref = Int_Loc - g.Int_Glob;
      Enum_Loc = Ident_1;
    }
    if (Enum_Loc == Ident_1) break;
  }
}

void Proc_3(State& g, Record** Ptr_Ref_Par) {
  if (g.Ptr_Glob != nullptr)
    *Ptr_Ref_Par = g.Ptr_Glob->Ptr_Comp;
  else
    g.Int_Glob = 100;
  Proc_7(10, g.Int_Glob, &g.Ptr_Glob->Int_Comp);
}

void Proc_4(State& g) {
  bool Bool_Loc = g.Ch_1_Glob == 'A';
  Bool_Loc = Bool_Loc || g.Bool_Glob;
  asm volatile("" : : "r"(Bool_Loc));  // computed and dropped, as published
  g.Ch_2_Glob = 'B';
}

void Proc_5(State& g) {
  g.Ch_1_Glob = 'A';
  g.Bool_Glob = false;
}

void Proc_6(State& g, Enumeration Enum_Val_Par, Enumeration* Enum_Ref_Par) {
  *Enum_Ref_Par = Enum_Val_Par;
  if (!Func_3(Enum_Val_Par)) *Enum_Ref_Par = Ident_4;
  switch (Enum_Val_Par) {
    case Ident_1:
      *Enum_Ref_Par = Ident_1;
      break;
    case Ident_2:
      if (g.Int_Glob > 100)
        *Enum_Ref_Par = Ident_1;
      else
        *Enum_Ref_Par = Ident_4;
      break;
    case Ident_3:
      *Enum_Ref_Par = Ident_2;
      break;
    case Ident_4:
      break;
    case Ident_5:
      *Enum_Ref_Par = Ident_3;
      break;
  }
}

void Proc_7(One_Fifty Int_1_Par_Val, One_Fifty Int_2_Par_Val, One_Fifty* Int_Par_Ref) {
  One_Fifty Int_Loc = Int_1_Par_Val + 2;
  *Int_Par_Ref = Int_2_Par_Val + Int_Loc;
}

void Proc_8(State& g, Arr_1_Dim Arr_1_Par_Ref, Arr_2_Dim Arr_2_Par_Ref, int32_t Int_1_Par_Val,
            int32_t Int_2_Par_Val) {
  One_Fifty Int_Loc = Int_1_Par_Val + 5;
  Arr_1_Par_Ref[Int_Loc] = Int_2_Par_Val;
  Arr_1_Par_Ref[Int_Loc + 1] = Arr_1_Par_Ref[Int_Loc];
  Arr_1_Par_Ref[Int_Loc + 30] = Int_Loc;
  for (One_Fifty Int_Index = Int_Loc; Int_Index <= Int_Loc + 1; ++Int_Index)
    Arr_2_Par_Ref[Int_Loc][Int_Index] = Int_Loc;
  Arr_2_Par_Ref[Int_Loc][Int_Loc - 1] += 1;
  Arr_2_Par_Ref[Int_Loc + 20][Int_Loc] = Arr_1_Par_Ref[Int_Loc];
  g.Int_Glob = 5;
}

Enumeration Func_1(Capital_Letter Ch_1_Par_Val, Capital_Letter Ch_2_Par_Val) {
  Capital_Letter Ch_1_Loc = Ch_1_Par_Val;
  Capital_Letter Ch_2_Loc = Ch_1_Loc;
  if (Ch_2_Loc != Ch_2_Par_Val)
    return Ident_1;
  else
    return Ident_2;
}

bool Func_2(const Str_30 Str_1_Par_Ref, const Str_30 Str_2_Par_Ref) {
  One_Thirty Int_Loc = 1;
  Capital_Letter Ch_Loc = 0;
  while (Int_Loc <= 1) {
    if (Func_1(Str_1_Par_Ref[Int_Loc], Str_2_Par_Ref[Int_Loc + 1]) == Ident_1) {
      Ch_Loc = 'A';
      Int_Loc += 1;
    }
  }
  if (Ch_Loc >= 'W' && Ch_Loc <= 'Z') Int_Loc = 7;
  if (Ch_Loc == 'X') {
    return true;
  } else {
    if (std::strcmp(Str_1_Par_Ref, Str_2_Par_Ref) > 0) {
      Int_Loc += 7;
      asm volatile("" : : "r"(Int_Loc));  // computed and dropped, as published
      return true;
    } else {
      return false;
    }
  }
}

bool Func_3(Enumeration Enum_Par_Val) {
  Enumeration Enum_Loc = Enum_Par_Val;
  if (Enum_Loc == Ident_3) return true;
  return false;
}

}  // namespace

void Init(State& g, Record* ptrGlob, Record* nextPtrGlob) {
  g = State{};
  g.Next_Ptr_Glob = nextPtrGlob;
  g.Ptr_Glob = ptrGlob;
  g.Ptr_Glob->Ptr_Comp = g.Next_Ptr_Glob;
  g.Ptr_Glob->Discr = Ident_1;
  g.Ptr_Glob->Enum_Comp = Ident_3;
  g.Ptr_Glob->Int_Comp = 40;
  std::strcpy(g.Ptr_Glob->Str_Comp, "DHRYSTONE PROGRAM, SOME STRING");
  g.Arr_2_Glob[8][7] = 10;
}

// The main program's loop; the string copy of each run is part of the
// measured work, as in the published program.
DHRY_PROC void Run(State& g, int32_t runs, Locals& out) {
  One_Fifty Int_1_Loc = 0, Int_2_Loc = 0, Int_3_Loc = 0;
  Enumeration Enum_Loc = Ident_1;
  Str_30 Str_1_Loc, Str_2_Loc;
  std::strcpy(Str_1_Loc, "DHRYSTONE PROGRAM, 1'ST STRING");

  for (int32_t Run_Index = 1; Run_Index <= runs; ++Run_Index) {
    Proc_5(g);
    Proc_4(g);
    Int_1_Loc = 2;
    Int_2_Loc = 3;
    std::strcpy(Str_2_Loc, "DHRYSTONE PROGRAM, 2'ND STRING");
    Enum_Loc = Ident_2;
    g.Bool_Glob = !Func_2(Str_1_Loc, Str_2_Loc);
    while (Int_1_Loc < Int_2_Loc) {
      Int_3_Loc = 5 * Int_1_Loc - Int_2_Loc;
      Proc_7(Int_1_Loc, Int_2_Loc, &Int_3_Loc);
      Int_1_Loc += 1;
    }
    Proc_8(g, g.Arr_1_Glob, g.Arr_2_Glob, Int_1_Loc, Int_3_Loc);
    Proc_1(g, g.Ptr_Glob);
    for (Capital_Letter Ch_Index = 'A'; Ch_Index <= g.Ch_2_Glob; ++Ch_Index) {
      if (Enum_Loc == Func_1(Ch_Index, 'C')) Proc_6(g, Ident_1, &Enum_Loc);
    }
    Int_3_Loc = Int_2_Loc * Int_1_Loc;
    Int_2_Loc = Int_3_Loc / Int_1_Loc;
    Int_2_Loc = 7 * (Int_3_Loc - Int_2_Loc) - Int_1_Loc;
    Proc_2(g, &Int_1_Loc);
  }

  out.Int_1_Loc = Int_1_Loc;
  out.Int_2_Loc = Int_2_Loc;
  out.Int_3_Loc = Int_3_Loc;
  out.Enum_Loc = Enum_Loc;
  std::memcpy(out.Str_1_Loc, Str_1_Loc, sizeof Str_1_Loc);
  std::memcpy(out.Str_2_Loc, Str_2_Loc, sizeof Str_2_Loc);
}

}  // namespace dhry

namespace {
constexpr CardParam kParams[] = {{"Rounds", nullptr, uint32_t(kDhrystoneRuns)}};
constexpr CardLayout kCard = {"Dhrystones", "%4lu.%0.1lu Dhrystones/sec", &ProcessorEntry(cpu::kDhrystones),
                            14, kParams, 1, "Method", "Result"};
}  // namespace

TestResult RunDhrystones(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return RunDhrystonesWith(ctx, cacheOn, multitaskingOn,
                           int32_t(ScaledWork(uint32_t(kDhrystoneRuns), ctx.plan.workScale)));
}

TestResult RunDhrystonesWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, int32_t runs) {
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn, {{"Rounds", nullptr, uint32_t(runs)}});
  BeginProcessorPhase(ctx, "\x1b" "bDhrystones\x1b" "n", "Internal", cacheOn, multitaskingOn, "Calibrating...");

  auto* rec1 = static_cast<dhry::Record*>(ctx.exec.AllocVec(sizeof(dhry::Record), MEMF_ANY));
  auto* rec2 = static_cast<dhry::Record*>(ctx.exec.AllocVec(sizeof(dhry::Record), MEMF_ANY));
  double figure = 0.0;
  if (rec1 == nullptr || rec2 == nullptr) {
    // The workload needs both records: no figure, and the result does not
    // count.
    LogError(ctx, "CPU", "Dhrystones", "Cant allocate memory");
    r.scored = false;
  } else {
    auto state = std::make_unique<dhry::State>();  // 10 KiB of arrays: not on the stack
    SetPhaseState(ctx, Section::Processor, "Benchmarking...");
    dhry::Locals locals;
    const double t = TimeWorkload(
        ctx, "CPU", "Dhrystones", cacheOn, multitaskingOn,
        [&] {
          dhry::Init(*state, rec1, rec2);
          locals = dhry::Locals{};
        },
        [&] { dhry::Run(*state, runs, locals); });
    figure = RatePerSecond(double(runs), t);
  }
  if (rec2) ctx.exec.FreeVec(rec2);
  if (rec1) ctx.exec.FreeVec(rec1);

  RecordProcessorFigure(ctx, r, rec::kDhrystones, figure, "Dhrystones/s", "Dhrystones/sec");
  CloseCard(ctx, r, figure);
  return r;
}

}  // namespace kr
