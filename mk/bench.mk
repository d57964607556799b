# Benchmarks (Google Benchmark); not part of `make test`.
#   make bench                        build, run, print the table
#   make bench BENCH_ARGS=--benchmark_filter=Tick
.PHONY: bench

BENCH_ARGS ?=

bench: deps
	bench/run.sh $(BENCH_ARGS)
