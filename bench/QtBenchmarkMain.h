#pragma once
// The main of a benchmark that shows Qt widgets: a QApplication on the
// offscreen platform unless another is asked for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#define TERSO_QT_BENCHMARK_MAIN()              \
  int main(int argc, char** argv) {            \
    setenv("QT_QPA_PLATFORM", "offscreen", 0); \
    QApplication application(argc, argv);      \
    benchmark::Initialize(&argc, argv);        \
    benchmark::RunSpecifiedBenchmarks();       \
    benchmark::Shutdown();                     \
    return 0;                                  \
  }
