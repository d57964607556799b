# What the idle watcher costs while it waits (bench/idle/run.sh): CPU,
# wake-ups and memory of `vellora --idle` over 60 s on sway, KWin, Mutter
# and Xvfb; part of `make bench`, not of `make test`.
#   make bench-idle
.PHONY: bench-idle

bench-idle: build
	bench/idle/run.sh build/default

bench: bench-idle
