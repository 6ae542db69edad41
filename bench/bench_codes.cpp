// Cost of interpreting one received code completely: validity, typeable text, value,
// due date, issuer name and the summary line of the export.
//   build/native/bench/bench_codes

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "codes/interpretation.h"
#include "history/history_line.h"
#include "history/journal.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};

// Every piece once, into the same object code after code, as zentory-cli decode does.
void InterpretFully(benchmark::State& state, const char* code, CodeKind kind) {
    FullInterpretation interpretation;
    for (auto _ : state) {
        InterpretCodeFully(code, kind, kToday, interpretation);
        benchmark::DoNotOptimize(interpretation);
    }
}

// The same pieces as the reception and the journal take them, through their two calls
// (each of which works the slip out on its own).
void RecordAndExportLine(benchmark::State& state, const char* code, CodeKind kind) {
    for (auto _ : state) {
        CodeInterpretation interpretation = InterpretCode(code, kind, kToday);
        std::string line = HistoryExportLine(code, kind, kToday);
        benchmark::DoNotOptimize(interpretation);
        benchmark::DoNotOptimize(line);
    }
}

constexpr const char* kBankSlip = "00191455700000110009956850418332600000624818";
constexpr const char* kCollectionSlip = "84620000002311301132632914523029359083800000";
constexpr const char* kNfeKey = "12345678901234567890123456789012345678901235";

}  // namespace

BENCHMARK_CAPTURE(InterpretFully, BankSlip, kBankSlip, CodeKind::BankSlip);
BENCHMARK_CAPTURE(InterpretFully, CollectionSlip, kCollectionSlip, CodeKind::CollectionSlip);
BENCHMARK_CAPTURE(InterpretFully, NfeKey, kNfeKey, CodeKind::NfeKey);
BENCHMARK_CAPTURE(RecordAndExportLine, BankSlip, kBankSlip, CodeKind::BankSlip);

// The receiver's work for one datagram, without the socket: rules, record, interpretation.
#include "reception/receiver.h"
#include "reception/scan_datagram.h"
#include "util/debug_trace.h"

static void AcceptOneDatagram(benchmark::State& state) {
    auto datagram = *BuildScanDatagram("00191455700000110009956850418332600000624818", 1);
    ReceiverState receiverState;
    CodeRecord record;
    LocalDateTime now = LocalNow();
    for (auto _ : state) {
        AcceptDatagram(receiverState, datagram.data(), datagram.size(), 0x0100007F, now, record);
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(AcceptOneDatagram);

static void LocalTimeAndTrace(benchmark::State& state) {
    for (auto _ : state) {
        LocalDateTime now = LocalNow();
        benchmark::DoNotOptimize(FormatReceivedAt(now));
        DebugTrace("Received datagram from %s - %ld bytes\n", FormatIPv4(0x0100007F).c_str(), 50L);
    }
}
BENCHMARK(LocalTimeAndTrace);

namespace {

// The journal as the main window writes it: a batch of records taken at once, appended
// and flushed together; items are records. Batch 1 is a quiet day, 100 a flood.
void JournalAppend(benchmark::State& state) {
    std::string folder = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                         "/zentory-bench-journal";
    std::filesystem::remove_all(folder);
    JournalWriter journal(folder);
    std::vector<CodeRecord> records(static_cast<std::size_t>(state.range(0)));
    std::vector<const CodeRecord*> batch;
    for (CodeRecord& record : records) {
        record.code = "00191455700000110009956850418332600000624818";
        record.receivedAt = "2026/12/07 09:05:03";
        record.senderAddress = 0x1700A8C0;
        batch.push_back(&record);
    }
    for (auto _ : state) {
        if (!journal.Append(batch)) state.SkipWithError("journal not written");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(JournalAppend)->Arg(1)->Arg(100);
