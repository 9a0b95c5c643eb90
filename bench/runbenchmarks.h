#pragma once

// Runs the benchmarks the command line picks, with Google Benchmark's options.
int runBenchmarks(int argc, char *argv[]);
