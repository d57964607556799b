#!/usr/bin/env python3
"""Prints the benchmark table from Google Benchmark's JSON output.

Columns: the figure, Vellora as it runs (the picture service serves the
decoded picture while the file is unchanged), the same with a decode on
every tick, and their ratio. Times are per tick or per burst, in ms.
"""
import json
import sys

TICK_TARGET_MS = 1.0


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            continue
        runs[b["name"].split("/iterations")[0]] = b
    return runs


def fmt_ms(v):
    return f"{v:.3g}"


def main():
    runs = load(sys.argv[1] if len(sys.argv) > 1 else "build/bench/results.json")
    rows = []
    verdicts = []
    for label, name in (("headless decoder", "BM_Tick_Headless"), ("Qt decoder, 3840x2160 JPEG", "BM_Tick_QtJpeg")):
        cached = runs.get(f"{name}/decode_every_tick:0")
        every = runs.get(f"{name}/decode_every_tick:1")
        if not cached or not every:
            continue
        for stat in ("p50_ms", "p99_ms"):
            a, b = cached[stat], every[stat]
            rows.append((f"tick {stat[:3]} ms, {label}", fmt_ms(a), fmt_ms(b), f"{b / a:.0f}x" if a > 0 else "-"))
        rows.append((f"decodes per tick, {label}", f"{cached['decodes_per_tick']:.3f}",
                     f"{every['decodes_per_tick']:.3f}", "-"))
        rows.append((f"Image1 and Image2 share one Picture, {label}",
                     "yes" if cached["shared_picture"] else "no", "yes" if every["shared_picture"] else "no", "-"))
        verdicts.append(f"tick p99 <= {TICK_TARGET_MS} ms ({label}): Vellora "
                        f"{'met' if cached['p99_ms'] <= TICK_TARGET_MS else 'NOT met'}, decode-every-tick "
                        f"{'met' if every['p99_ms'] <= TICK_TARGET_MS else 'not met'}")
    qt_run = runs.get("BM_Tick_QtRuntime")
    if qt_run:
        width = int(qt_run.get("surface_px", 0))
        for stat in ("p50_ms", "p99_ms"):
            rows.append((f"tick {stat[:3]} ms, Qt runtime (widgets, layer, decoder), {width} px screen",
                         fmt_ms(qt_run[stat]), "-", "-"))
        for stat in ("repaint_p50_ms", "repaint_p99_ms"):
            if stat in qt_run:
                rows.append((f"repaint after a tick {stat[8:11]} ms, Qt runtime, {width} px screen",
                             fmt_ms(qt_run[stat]), "-", "-"))
        rows.append(("Image1 and Image2 share one Picture, Qt runtime", "yes" if qt_run["shared_picture"] else "no",
                     "-", "-"))
        verdicts.append(f"tick p99 <= {TICK_TARGET_MS} ms (Qt runtime, bursts included): "
                        f"{'met' if qt_run['p99_ms'] <= TICK_TARGET_MS else 'NOT met'}")
    for label, name in (("headless", "BM_CircleBurst_Headless"), ("Qt raster layer", "BM_CircleBurst_Qt")):
        run = runs.get(name)
        if not run:
            continue
        width = int(run.get("surface_px", 0))
        for stat in ("p50_ms", "p99_ms"):
            rows.append((f"circle burst {stat[:3]} ms, {label}, {width} px wide", fmt_ms(run[stat]), "same", "-"))

    headers = ("figure", "Vellora", "decode-every-tick", "ratio")
    widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(4)]
    line = "  ".join("{:<%d}" % w for w in widths)
    print(line.format(*headers))
    print(line.format(*("-" * w for w in widths)))
    for r in rows:
        print(line.format(*r))
    print()
    for v in verdicts:
        print(v)


if __name__ == "__main__":
    main()
