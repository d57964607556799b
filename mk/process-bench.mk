# Whole-process figures of the saver (CPU, peak memory, first frame) on
# Xvfb, natively and under Wine; part of `make bench`, not of `make test`.
#   make bench-process
#   make bench-process PROCESS_BENCH_ARGS='--screen 3840x2160 --platforms qt'
.PHONY: bench-process

PROCESS_BENCH_ARGS ?=

bench-process: build windows
	bench/process/run.sh $(PROCESS_BENCH_ARGS)
