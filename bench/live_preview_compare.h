#pragma once
// bench_converter_live_preview --compare-with BENCH: this build's benchmark
// and another build's, run as children in turn (this, other, this, ...), so
// that both meet the same load; the figures are read from what each prints
// and their medians shown side by side.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace livepreviewbench {

// One figure of the printed report: a part of the line it is on and the
// words its number follows.
struct Figure {
  const char* name;
  const char* line;
  const char* after;
};

inline const std::vector<Figure>& figures() {
  static const std::vector<Figure> all = {
      {"T (ms)", "T   ", "render"},
      {"T, CPU of all threads (ms)", "T   ", "threads"},
      {"T3 (ms)", "T3  ", "tone curve"},
      {"T3, CPU of all threads (ms)", "T3  ", "threads"},
      {"L (ms)", "L   ", "installed"},
      {"drag: last step shown (ms)", "worker:", "last step shown"},
      {"drag: longest stall (ms)", "worker:", "longest stall"},
      {"no render: longest stall (ms)", "nothing rendered:", "longest stall"},
      {"drag on main thread: last shown (ms)", "main thread 0.1 s later:", "last step shown"},
      {"drag on main thread: longest stall (ms)", "main thread 0.1 s later:", "longest stall"},
      {"example image per step (ms)", "example image", "per step"},
  };
  return all;
}

// The figures found in one run's report.
inline std::map<std::string, double> readFigures(const std::string& report) {
  std::map<std::string, double> found;
  std::size_t start = 0;
  while (start < report.size()) {
    std::size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    const std::string line = report.substr(start, end - start);
    start = end + 1;
    for (const Figure& figure : figures()) {
      const bool onLine = line.find(figure.line) != std::string::npos;
      const std::size_t at = onLine ? line.find(figure.after) : std::string::npos;
      if (at == std::string::npos) continue;
      const char* number = line.c_str() + at + std::strlen(figure.after);
      char* parsed = nullptr;
      const double value = std::strtod(number, &parsed);
      if (parsed != number) found[figure.name] = value;
    }
  }
  return found;
}

// What program prints to its standard output.
inline std::string reportOf(const std::string& program, const std::string& arguments) {
  std::string report;
  FILE* pipe = ::popen(("'" + program + "' " + arguments + " 2>/dev/null").c_str(), "r");
  if (!pipe) return report;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) report.append(buffer, n);
  ::pclose(pipe);
  return report;
}

inline double medianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline double loadAverage() {
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  return load[0];
}

// Runs self and other pairs times each, interleaved (with arguments), and
// prints both builds' medians and their ratio; answers 1 when a run gave no
// figures.
inline int compareBuilds(const std::string& self, const std::string& other, int pairs,
                         const std::string& arguments) {
  std::printf("this build against %s, %d runs each, interleaved; load %.1f\n", other.c_str(), pairs,
              loadAverage());
  std::fflush(stdout);
  std::map<std::string, std::vector<double>> ours, theirs;
  // Each figure also in units of the run's own T.
  auto collect = [](const std::map<std::string, double>& run, std::map<std::string, std::vector<double>>& into) {
    for (const auto& [name, value] : run) into[name].push_back(value);
    const auto t = run.find("T (ms)"), stall = run.find("drag: longest stall (ms)");
    if (t != run.end() && stall != run.end() && t->second > 0)
      into["drag: longest stall (T)"].push_back(stall->second / t->second);
  };
  for (int pair = 0; pair < pairs; ++pair) {
    for (const bool mine : {true, false}) {
      const std::map<std::string, double> run = readFigures(reportOf(mine ? self : other, arguments));
      if (run.empty()) {
        std::printf("%s gave no figures\n", mine ? self.c_str() : other.c_str());
        return 1;
      }
      collect(run, mine ? ours : theirs);
    }
  }
  std::printf("%-42s %12s %12s %8s\n", "median", "this build", "compared", "ratio");
  std::vector<std::string> names;
  for (const Figure& figure : figures()) names.push_back(figure.name);
  names.push_back("drag: longest stall (T)");
  for (const std::string& name : names) {
    if (!ours.contains(name) && !theirs.contains(name)) continue;
    // A figure an older build does not print stands alone.
    if (!theirs.contains(name) || !ours.contains(name)) {
      char figure[32];
      std::snprintf(figure, sizeof figure, "%.2f", medianOf(ours.contains(name) ? ours[name] : theirs[name]));
      std::printf("%-42s %12s %12s\n", name.c_str(), ours.contains(name) ? figure : "-",
                  ours.contains(name) ? "-" : figure);
      continue;
    }
    const double mine = medianOf(ours[name]), compared = medianOf(theirs[name]);
    std::printf("%-42s %12.2f %12.2f %8.2f\n", name.c_str(), mine, compared, compared > 0 ? mine / compared : 0);
  }
  std::printf("load %.1f after\n", loadAverage());
  return 0;
}

}  // namespace livepreviewbench
