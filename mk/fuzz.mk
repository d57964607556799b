# Fuzzers (clang 14, libFuzzer, ASan + UBSan); see fuzz/run.sh.
#   make fuzz                     run each fuzzer FUZZ_SECONDS seconds (default 60)
#   make fuzz FUZZ_SECONDS=600 FUZZ_JOBS=2
#   make fuzz-smoke               a few seconds of each; part of `make test`
.PHONY: fuzz fuzz-smoke

FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 6
FUZZ_JOBS ?= 1

fuzz: deps
	FUZZ_JOBS=$(FUZZ_JOBS) fuzz/run.sh $(FUZZ_SECONDS)

fuzz-smoke: deps
	FUZZ_JOBS=1 fuzz/run.sh $(FUZZ_SMOKE_SECONDS)

TEST_TARGETS += fuzz-smoke
