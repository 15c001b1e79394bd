// The main of every benchmark program: a headless Qt application (the
// offscreen platform unless the caller chose one), then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "runtime/screen.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Windows a benchmark left open go before the application they live in.
  rt::closeAllWindows();
  return 0;
}
