// vdl-statement-tester: random statements over random tables, each checked
// by the laws a right answer obeys (laws.h). A failure is shrunk to a small
// case and saved as a finding named by its seed; --replay runs saved
// findings again. The suite runs it with fixed seeds; docs/reliability.md
// says how to run it for hours.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "findings.h"
#include "generator.h"
#include "laws.h"
#include "results.h"
#include "roads.h"
#include "shrink.h"
#include "vendrel/dataaccess/error.h"

namespace stdfs = std::filesystem;
using namespace vendrel::tester;

namespace {

constexpr const char* kUsage =
    "usage: vdl-statement-tester [--seed N | --new-seed] [--statements N] [--seconds S]\n"
    "                            [--findings DIR] [--replay DIR|FILE [--show]] [--quiet]\n"
    "\n"
    "Runs random statements of the dialect over random tables and checks each\n"
    "by the laws a right answer obeys. A failure is shrunk and saved in DIR\n"
    "(--findings, default: findings in the current folder). Stops after N\n"
    "statements (default 1000) or S seconds, whichever comes first.\n"
    "--replay runs the findings saved in DIR (or one FILE) instead; --show\n"
    "prints each of their statements' rows.\n"
    "Exit status: 0 every law held, 1 a law failed, 2 bad usage.\n";

struct Options {
  uint64_t seed = 1;
  long statements = 1000;
  double seconds = 0;
  std::string findings = "findings";
  std::string replay;
  bool quiet = false;
  bool show = false;  // replay: every statement's outcome on the reference road
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  bool statementsGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    std::optional<std::string> v;
    if (a == "--seed" && (v = value())) {
      o.seed = std::stoull(*v);
    } else if (a == "--new-seed") {
      o.seed = (static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    } else if (a == "--statements" && (v = value())) {
      o.statements = std::stol(*v);
      statementsGiven = true;
    } else if (a == "--seconds" && (v = value())) {
      o.seconds = std::stod(*v);
      if (!statementsGiven) o.statements = -1;
    } else if (a == "--findings" && (v = value())) {
      o.findings = *v;
    } else if (a == "--replay" && (v = value())) {
      o.replay = *v;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--show") {
      o.show = true;
    } else {
      return std::nullopt;
    }
  }
  return o;
}

// The user's temporary folder for the run: a private one, so that whatever a
// road leaves behind is seen.
class PrivateTemp {
 public:
  PrivateTemp() {
    std::string pattern = (stdfs::temp_directory_path() / "vdl-tester-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    ::setenv("TMPDIR", root_.c_str(), 1);
  }
  ~PrivateTemp() {
    std::error_code ec;
    stdfs::remove_all(root_, ec);
  }
  const std::string& Root() const { return root_; }
  // What is left in the folder, besides `except`.
  std::string Leftovers(const std::string& except = "") const {
    std::string left;
    for (const auto& e : stdfs::directory_iterator(root_))
      if (e.path().filename() != except) left += " " + e.path().filename().string();
    return left;
  }

 private:
  std::string root_;
};

struct Tally {
  long statements = 0;
  long failures = 0;
  long invalid = 0;  // statements that the reference road refused
  std::map<std::string, long> checks, skipped;
  std::map<std::string, long> refusals;  // by the error's first words
};

Verdict JudgeOn(const Database& database, const Check& check, const PrivateTemp& temp, int& folders) {
  Roads roads(database, temp.Root() + "/tables" + std::to_string(++folders));
  return Judge(check, roads);
}

// The laws a statement is tried by: the roads always, and one more that fits its shape.
std::vector<Trial> TrialsFor(const Statement& s, Generator& generator, Random& random) {
  std::vector<Trial> trials;
  Trial roads;
  roads.law = "roads";
  roads.statement = s;
  static const std::vector<std::pair<std::string, int>> kRoadWeights = {
      {"execute", 30}, {"parse", 10}, {"plain", 25}, {"no-equality", 12}, {"no-range", 8}, {"no-folding", 10}, {"bare", 5}};
  int roll = random.Below(100);
  for (const auto& [road, weight] : kRoadWeights) {
    if (roll < weight) {
      roads.roads.push_back(road);
      break;
    }
    roll -= weight;
  }
  trials.push_back(roads);

  std::vector<Trial> shaped;
  const Core& core = s.cores[0];
  auto add = [&](std::string law, std::string place = "") {
    Trial t;
    t.law = std::move(law);
    t.statement = s;
    t.place = std::move(place);
    if (t.law == "partition" || t.law == "recombine")
      t.predicate = generator.MakePredicate(core.visible, t.place == "having" ? &core.groupBy : nullptr);
    if (CheckOf(t)) shaped.push_back(std::move(t));
  };
  add("partition", "where");
  add("partition", "having");
  add("partition", "on");
  add("recombine", "where");
  add("order");
  add("top");
  add("union");
  add("distinct");
  add("pivot");
  if (!shaped.empty()) trials.push_back(shaped[static_cast<size_t>(random.Below(static_cast<int>(shaped.size())))]);
  return trials;
}

std::string FirstWords(const std::string& description) {
  std::string words = description.substr(0, description.find_first_of("'(0123456789"));
  return words.substr(0, 60);
}

int Replay(const Options& options) {
  std::vector<stdfs::path> files;
  if (stdfs::is_directory(options.replay)) {
    for (const auto& e : stdfs::directory_iterator(options.replay))
      if (e.path().extension() == ".case") files.push_back(e.path());
  } else {
    files.push_back(options.replay);
  }
  std::sort(files.begin(), files.end());
  PrivateTemp temp;
  int folders = 0, failed = 0;
  for (const stdfs::path& file : files) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    Verdict verdict;
    try {
      const Finding finding = ParseFinding(text.str());
      verdict = JudgeOn(finding.database, finding.check, temp, folders);
      if (options.show) {
        Roads roads(finding.database, temp.Root() + "/shown");
        for (const std::string& sql : finding.check.sql) {
          const Outcome o = roads.Run("driver", sql);
          std::cout << sql << "\n";
          if (o.failed) std::cout << "  error " << o.number << " " << o.description << "\n";
          std::string columns;
          for (const std::string& c : o.columns) columns += (columns.empty() ? "" : " | ") + c;
          if (!o.failed) std::cout << "  " << columns << "\n";
          for (const Row& row : o.rows) std::cout << "  " << ShowRow(row) << "\n";
        }
      }
    } catch (const std::exception& e) {
      verdict.failed = true;
      verdict.what = e.what();
    }
    const std::string left = temp.Leftovers();
    if (!left.empty()) {
      verdict.failed = true;
      verdict.what += "\nleft in the temporary folder:" + left;
    }
    if (verdict.failed) {
      ++failed;
      std::cout << "FAILED " << file.string() << "\n" << verdict.what << "\n";
    } else if (!options.quiet) {
      std::cout << "held " << file.filename().string() << (verdict.skipped ? " (skipped: a runtime error)" : "") << "\n";
    }
  }
  std::cout << files.size() << " findings replayed, " << failed << " failed\n";
  return failed ? 1 : 0;
}

void Save(const Options& options, const Finding& finding, const std::string& name, const std::string& comment) {
  stdfs::create_directories(options.findings);
  const stdfs::path path = stdfs::path(options.findings) / (name + ".case");
  std::ofstream(path) << FindingText(finding, comment);
  std::cout << "saved " << path.string() << "\n";
}

int Explore(const Options& options) {
  PrivateTemp temp;
  Random master(options.seed);
  Tally tally;
  int folders = 0;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  auto done = [&] {
    return (options.statements >= 0 && tally.statements >= options.statements) ||
           (options.seconds > 0 && elapsed() >= options.seconds);
  };
  double lastReport = 0;
  std::cout << "seed " << options.seed << "\n";
  for (long databaseNumber = 1; !done(); ++databaseNumber) {
    const uint64_t databaseSeed = master.Next();
    Random random(databaseSeed);
    const Database database = MakeDatabase(random);
    Generator generator(random, database);
    {
      Roads roads(database, temp.Root() + "/tables" + std::to_string(++folders));
      for (int n = 1; n <= 40 && !done(); ++n) {
        const Statement statement = random.OneIn(10) ? generator.MakeCrosstab() : generator.MakeStatement();
        ++tally.statements;
        for (Trial& trial : TrialsFor(statement, generator, random)) {
          const Check check = *CheckOf(trial);
          Verdict verdict;
          try {
            verdict = Judge(check, roads);
          } catch (const std::exception& e) {
            std::cout << "FAILED: " << e.what() << " from:\n";
            for (const std::string& sql : check.sql) std::cout << "  " << sql << "\n";
            ++tally.failures;
            continue;
          }
          ++tally.checks[trial.law];
          if (verdict.skipped) ++tally.skipped[trial.law];
          if (!verdict.refusal.empty()) {
            ++tally.invalid;
            ++tally.refusals[FirstWords(verdict.refusal)];
          }
          if (!verdict.failed) continue;
          ++tally.failures;
          const std::string name = "seed-" + std::to_string(options.seed) + "-" + std::to_string(databaseNumber) + "-" +
                                   std::to_string(n) + "-" + trial.law;
          std::cout << "FAILED " << name << ": " << verdict.signature << "\n" << verdict.what << "\n";
          for (const std::string& sql : check.sql) std::cout << "  " << sql << "\n";
          Database small = database;
          Trial smallTrial = trial;
          Shrink(small, smallTrial, [&](const Database& d, const Trial& t) {
            const auto c = CheckOf(t);
            if (!c) return false;
            try {
              const Verdict v = JudgeOn(d, *c, temp, folders);
              return v.failed && v.signature == verdict.signature;
            } catch (const std::exception&) {
              return false;
            }
          });
          const Check smallCheck = *CheckOf(smallTrial);
          const Verdict smallVerdict = JudgeOn(small, smallCheck, temp, folders);
          std::ostringstream comment;
          comment << "Found by vdl-statement-tester --seed " << options.seed << " (tables " << databaseNumber
                  << ", statement " << n << "), shrunk.\n"
                  << verdict.signature << "\n"
                  << smallVerdict.what;
          Save(options, Finding{small, smallCheck}, name, comment.str());
        }
      }
    }
    const std::string left = temp.Leftovers();
    if (!left.empty()) {
      ++tally.failures;
      std::cout << "FAILED: left in the temporary folder:" << left << "\n";
      std::error_code ec;
      for (const auto& e : stdfs::directory_iterator(temp.Root())) stdfs::remove_all(e.path(), ec);
    }
    if (!options.quiet && elapsed() - lastReport >= 60) {
      lastReport = elapsed();
      std::cout << tally.statements << " statements, " << tally.failures << " failures, " << static_cast<long>(elapsed())
                << " s\n"
                << std::flush;
    }
  }
  std::cout << tally.statements << " statements in " << static_cast<long>(elapsed()) << " s, seed " << options.seed
            << ": " << tally.failures << " failures; " << tally.invalid << " refused by the driver\n";
  for (const auto& [law, count] : tally.checks)
    std::cout << "  " << law << ": " << count << " checks, " << tally.skipped[law] << " not judged (runtime errors)\n";
  if (!options.quiet) {
    std::vector<std::pair<long, std::string>> refusals;
    for (const auto& [what, count] : tally.refusals) refusals.push_back({count, what});
    std::sort(refusals.rbegin(), refusals.rend());
    for (size_t i = 0; i < std::min<size_t>(refusals.size(), 12); ++i)
      std::cout << "  refused " << refusals[i].first << "x: " << refusals[i].second << "\n";
  }
  return tally.failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    return options->replay.empty() ? Explore(*options) : Replay(*options);
  } catch (const vendrel::Error& e) {
    std::cerr << "vdl-statement-tester: " << e.Description() << " (" << e.Number() << ")\n";
  } catch (const std::exception& e) {
    std::cerr << "vdl-statement-tester: " << e.what() << "\n";
  }
  return 1;
}
