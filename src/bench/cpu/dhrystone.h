// The Dhrystone workload (version 1.1 of the synthetic benchmark).
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

namespace dhry {

enum Enumeration : int32_t { Ident_1, Ident_2, Ident_3, Ident_4, Ident_5 };

// The benchmark's record: pointer to the next record, discriminant and the
// variant's enumeration, integer and 31-character string components.
struct Record {
  Record* Ptr_Comp;
  Enumeration Discr;
  Enumeration Enum_Comp;
  int32_t Int_Comp;
  char Str_Comp[31];
};

// The benchmark's globals, kept per run instead of in static storage.
struct State {
  Record* Ptr_Glob = nullptr;
  Record* Next_Ptr_Glob = nullptr;
  int32_t Int_Glob = 0;
  bool Bool_Glob = false;
  char Ch_1_Glob = 0;
  char Ch_2_Glob = 0;
  int32_t Arr_1_Glob[50] = {};
  int32_t Arr_2_Glob[50][50] = {};
};

// The main program's locals as they are after the last run.
struct Locals {
  int32_t Int_1_Loc = 0;
  int32_t Int_2_Loc = 0;
  int32_t Int_3_Loc = 0;
  Enumeration Enum_Loc = Ident_1;
  char Str_1_Loc[31] = {};
  char Str_2_Loc[31] = {};
};

// Links the two records and sets the initial values (Ptr_Glob's next is
// Next_Ptr_Glob; Ident_1, Ident_3, 40, "DHRYSTONE PROGRAM, SOME STRING";
// Arr_2_Glob[8][7] = 10).
void Init(State& g, Record* ptrGlob, Record* nextPtrGlob);

// The main loop, runs times (Run_Index 1..runs). Every procedure of the
// benchmark is a separate, real call.
void Run(State& g, int32_t runs, Locals& out);

}  // namespace dhry

// Runs of the Dhrystones test (the card's "Rounds").
constexpr int32_t kDhrystoneRuns = 5000000;

// The whole test with another number of runs (RunDhrystones runs
// kDhrystoneRuns); the card's "Rounds" line shows the runs.
TestResult RunDhrystonesWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, int32_t runs);

}  // namespace kr
