// Cost of interpreting one received code completely: validity, typeable text, value,
// due date, and the summary line of the export.
//   build/native/bench/bench_codes

#include <benchmark/benchmark.h>

#include "codes/interpretation.h"
#include "settings/history_line.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};

void InterpretFully(benchmark::State& state, const char* code, CodeKind kind) {
    for (auto _ : state) {
        CodeInterpretation interpretation = InterpretCode(code, kind, kToday);
        std::string line = HistoryExportLine(code, kind, kToday);
        benchmark::DoNotOptimize(interpretation);
        benchmark::DoNotOptimize(line);
    }
}

}  // namespace

BENCHMARK_CAPTURE(InterpretFully, BankSlip, "00191455700000110009956850418332600000624818",
                  CodeKind::BankSlip);
BENCHMARK_CAPTURE(InterpretFully, CollectionSlip, "84620000002311301132632914523029359083800000",
                  CodeKind::CollectionSlip);
BENCHMARK_CAPTURE(InterpretFully, NfeKey, "12345678901234567890123456789012345678901235",
                  CodeKind::NfeKey);
