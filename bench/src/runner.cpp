#include "runner.h"

#include <algorithm>
#include <stdexcept>

#include "baseline.h"
#include "measure.h"
#include "result_rows.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/engine/vendrel.h"
#include "workloads.h"

namespace vendrel::bench {

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

// Keeps the compiler from dropping the walks.
volatile uint64_t checksumSink = 0;

Ref<Recordset> Execute(Vendrel& query, const std::vector<Input>& inputs, const std::string& sql,
                       const std::string& keptName = "") {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  for (const Input& input : inputs) source->RecordsetCollection()->Add(input.recordset, input.name);
  return query.Execute(source, sql, adOpenStatic, adLockReadOnly, !keptName.empty(), keptName);
}

// A query whose only input is the result kept under `name`.
Ref<Recordset> ExecuteOverKept(Vendrel& query, const std::string& name, const std::string& sql) {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(nullptr, name, true);
  return query.Execute(source, sql, adOpenStatic, adLockReadOnly);
}

void Check(const std::string& what, const ResultRows& execute, const ResultRows& baseline, const Query& query) {
  const std::string difference = Difference(execute, baseline, query.orderKey);
  if (!difference.empty()) throw std::runtime_error(what + ": " + difference + " (" + query.dialect + ")");
}

// Runs `run` once as the Execute side, noting its memory.
template <class Run>
double MeasuredExecute(Figures& figures, Run run) {
  ReleaseFreeMemory();
  ResetPeakResident();
  const double before = ResidentMb();
  const double start = NowMs();
  run();
  const double elapsed = NowMs() - start;
  const double peak = PeakResidentMb();
  figures.peakRssMb = std::max(figures.peakRssMb, peak);
  figures.peakGrowthMb = std::max(figures.peakGrowthMb, peak - before);
  return elapsed;
}

template <class Run>
double Timed(Run run) {
  ReleaseFreeMemory();
  const double start = NowMs();
  run();
  return NowMs() - start;
}

void RunBaseline(const Workload& w) {
  Baseline baseline;
  baseline.Load(w.inputs);
  checksumSink = checksumSink + baseline.Walk(w.query.sqlite);
}

// The timed runs on new data: run k over inputs of seed + k, made before it
// is timed, both sides over the same inputs, alternately, so that a change in
// the machine's load falls on both. `executeRun` times itself.
template <class ExecuteRun, class BaselineRun>
void TimeOnNewData(const std::string& name, const RunOptions& options, Figures& figures, ExecuteRun executeRun,
                   BaselineRun baselineRun) {
  std::vector<double> execute, baseline;
  for (int run = 1; run <= options.runs; ++run) {
    const Workload fresh = MakeWorkload(name, options.rows, options.seed + static_cast<unsigned long long>(run));
    execute.push_back(executeRun(fresh));
    baseline.push_back(Timed([&] { baselineRun(fresh); }));
  }
  figures.executeMs = Median(execute);
  figures.baselineMs = Median(baseline);
}

Figures RunSingleQuery(const std::string& name, const RunOptions& options) {
  Figures figures;
  {
    const Workload w = MakeWorkload(name, options.rows, options.seed);
    figures.inputTextMb = static_cast<double>(InputTextBytes(w.inputs)) / kMiB;
    // The first runs, timed as they come, and the check that both sides agree.
    Ref<Vendrel> query = Vendrel::Create();
    Ref<Recordset> result;
    figures.firstExecuteMs = MeasuredExecute(figures, [&] {
      result = Execute(*query, w.inputs, w.query.dialect);
      checksumSink = checksumSink + WalkRows(*result);
    });
    Baseline baseline;
    figures.firstBaselineMs = Timed([&] {
      baseline.Load(w.inputs);
      checksumSink = checksumSink + baseline.Walk(w.query.sqlite);
    });
    Check(w.name, CollectRows(*result), baseline.Collect(w.query.sqlite), w.query);
    result.reset();
    // Unchanged data: the same object over the same inputs again.
    std::vector<double> unchanged;
    for (int run = 0; run < options.runs; ++run)
      unchanged.push_back(
          Timed([&] { checksumSink = checksumSink + WalkRows(*Execute(*query, w.inputs, w.query.dialect)); }));
    figures.unchangedExecuteMs = Median(unchanged);
  }
  TimeOnNewData(
      name, options, figures,
      [&](const Workload& fresh) {
        return MeasuredExecute(figures, [&] {
          Ref<Vendrel> query = Vendrel::Create();
          checksumSink = checksumSink + WalkRows(*Execute(*query, fresh.inputs, fresh.query.dialect));
        });
      },
      RunBaseline);
  return figures;
}

// W4: the W2 result kept under a name, then ten queries over it; on the
// baseline the same result made into a table and the same ten questions.
Figures RunKeptResult(const std::string& name, const RunOptions& options) {
  Figures figures;
  const Workload w = MakeWorkload(name, options.rows, options.seed);
  Ref<Recordset> kept;  // the W2 result, for the plain Executes
  auto baselineRun = [](const Workload& in) {
    Baseline baseline;
    baseline.Load(in.inputs);
    baseline.Exec("CREATE TABLE " + in.keptName + " AS " + in.query.sqlite);
    for (const Query& q : in.keptQueries) checksumSink = checksumSink + baseline.Walk(q.sqlite);
  };
  {
    Ref<Vendrel> query = Vendrel::Create();
    figures.firstExecuteMs = MeasuredExecute(figures, [&] {
      kept = Execute(*query, w.inputs, w.query.dialect, w.keptName);
      checksumSink = checksumSink + WalkRows(*kept);
      for (const Query& q : w.keptQueries)
        checksumSink = checksumSink + WalkRows(*ExecuteOverKept(*query, w.keptName, q.dialect));
    });
    Baseline baseline;
    figures.firstBaselineMs = Timed([&] {
      baseline.Load(w.inputs);
      baseline.Exec("CREATE TABLE " + w.keptName + " AS " + w.query.sqlite);
      for (const Query& q : w.keptQueries) checksumSink = checksumSink + baseline.Walk(q.sqlite);
    });
    Check(w.name + " kept result", CollectRows(*kept), baseline.Collect(w.query.sqlite), w.query);
    const std::vector<Input> plainInputs = {{w.keptName, kept}};
    Ref<Vendrel> plain = Vendrel::Create();
    for (const Query& q : w.keptQueries) {
      const ResultRows expected = baseline.Collect(q.sqlite);
      Check(w.name + " over the kept result", CollectRows(*ExecuteOverKept(*query, w.keptName, q.dialect)), expected, q);
      Check(w.name + " over the exported result", CollectRows(*Execute(*plain, plainInputs, q.dialect)), expected, q);
    }
    // Unchanged data: the same object keeps the same inputs' result again.
    std::vector<double> unchanged;
    for (int run = 0; run < options.runs; ++run)
      unchanged.push_back(Timed([&] {
        checksumSink = checksumSink + WalkRows(*Execute(*query, w.inputs, w.query.dialect, w.keptName));
        for (const Query& q : w.keptQueries)
          checksumSink = checksumSink + WalkRows(*ExecuteOverKept(*query, w.keptName, q.dialect));
      }));
    figures.unchangedExecuteMs = Median(unchanged);
  }
  figures.inputTextMb = static_cast<double>(InputTextBytes(w.inputs) + InputTextBytes({{w.keptName, kept}})) / kMiB;

  // The kept result against exporting it: ten queries over it, ten plain
  // Executes of it, each side in an object of its own per run.
  const std::vector<Input> plainInputs = {{w.keptName, kept}};
  std::vector<double> keptTimes, plainTimes;
  for (int run = 0; run < options.runs; ++run) {
    {
      Ref<Vendrel> query = Vendrel::Create();
      checksumSink = checksumSink + WalkRows(*Execute(*query, w.inputs, w.query.dialect, w.keptName));
      const double start = NowMs();
      for (const Query& q : w.keptQueries)
        checksumSink = checksumSink + WalkRows(*ExecuteOverKept(*query, w.keptName, q.dialect));
      keptTimes.push_back(NowMs() - start);
    }
    Ref<Vendrel> query = Vendrel::Create();
    const double start = NowMs();
    for (const Query& q : w.keptQueries) checksumSink = checksumSink + WalkRows(*Execute(*query, plainInputs, q.dialect));
    plainTimes.push_back(NowMs() - start);
  }
  figures.keptMs = Median(keptTimes);
  figures.plainMs = Median(plainTimes);

  TimeOnNewData(
      name, options, figures,
      [&](const Workload& fresh) {
        return MeasuredExecute(figures, [&] {
          Ref<Vendrel> query = Vendrel::Create();
          checksumSink = checksumSink + WalkRows(*Execute(*query, fresh.inputs, fresh.query.dialect, fresh.keptName));
          for (const Query& q : fresh.keptQueries)
            checksumSink = checksumSink + WalkRows(*ExecuteOverKept(*query, fresh.keptName, q.dialect));
        });
      },
      baselineRun);
  return figures;
}

// One query of one row, so that what the libraries take on their first use
// (code, character data, the driver's registrations) is not counted as the
// memory or the time of the first run of the workload.
void WarmUpTheLibraries() {
  Ref<Recordset> one = Recordset::Create();
  one->Fields().Append("N", adInteger, 0, adFldMayBeNull);
  one->Fields().Append("T", adVarChar, 10, adFldMayBeNull);
  one->Open({}, {}, adOpenStatic, adLockOptimistic);
  one->AddNew();
  one->Fields()[0].SetValue(Variant::Long(1));
  one->Fields()[1].SetValue(Variant("one"));
  one->Update();
  Ref<Vendrel> query = Vendrel::Create();
  checksumSink = checksumSink + WalkRows(*Execute(*query, {{"rs1", one}}, "SELECT rs1.T FROM rs1 WHERE rs1.T = 'ONE' ORDER BY rs1.T"));
}

}  // namespace

Figures RunWorkload(const std::string& workload, const RunOptions& options) {
  WarmUpTheLibraries();
  ReleaseFreeMemory();
  const double start = ResidentMb();
  bool kept = false;
  {
    const Workload probe = MakeWorkload(workload, 1, options.seed);
    if (probe.inputs.empty()) throw std::runtime_error("unknown workload " + workload);
    kept = !probe.keptQueries.empty();
  }
  Figures figures = kept ? RunKeptResult(workload, options) : RunSingleQuery(workload, options);
  ReleaseFreeMemory();
  figures.retainedMb = ResidentMb() - start;
  return figures;
}

}  // namespace vendrel::bench
