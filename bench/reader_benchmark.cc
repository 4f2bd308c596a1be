// The reader on the largest log it accepts: 32767 records of each kind
// (files, registry keys, links), as gen_logs writes it.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "bench/log_shapes.h"
#include "installlog/reader.h"
#include "installlog/writer.h"

namespace uninstall::bench {
namespace {

std::string Bytes(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                              log.LinkCount, log.Links);
}

// Parsing into a fresh log, as the program does once per run; freeing the
// log afterwards is not timed.
void BM_ParseInstallFile(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::string bytes = Bytes(RecordsOfEachKind(static_cast<int>(count)));
  std::optional<InstallLog> log;
  for (auto _ : state) {
    static_cast<void>(_);
    log.emplace();
    const ParsedInstallFile parsed = ParseInstallFile(bytes, L"Uninstall.dat", *log);
    // The line end after the magic is the only thing passed over.
    if (!parsed.magic_ok || parsed.cut || parsed.skipped_count != 2 || log->Files.size() != count ||
        log->RegKeys.size() != count || log->Links.size() != count) {
      state.SkipWithError("the generated log does not parse cleanly");
      break;
    }
    benchmark::DoNotOptimize(log->Files.data());
    state.PauseTiming();
    log.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
  state.counters["log_MiB"] = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ParseInstallFile)
    ->ArgName("records_each")
    ->Arg(kMaxEntries)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace uninstall::bench
