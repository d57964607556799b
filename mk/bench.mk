# Benchmarks; not part of `make test`.
#   make bench          the tick and burst benchmarks (Google Benchmark), then
#                       the whole-process figures on Xvfb, natively and under Wine
#   make bench-micro    the Google Benchmark table only
#   make bench-micro BENCH_ARGS=--benchmark_filter=Tick
.PHONY: bench bench-micro

BENCH_ARGS ?=

bench-micro: deps
	bench/run.sh $(BENCH_ARGS)

bench: bench-micro bench-process
