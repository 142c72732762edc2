"""Turns the hyperfine exports of bench/run into the results table (markdown on stdout).

usage: report.py OUT_DIR COMMAND ELAPSED_SECONDS
"""
import glob
import json
import math
import os
import platform
import statistics
import subprocess
import sys

out, command, elapsed = sys.argv[1], sys.argv[2], int(sys.argv[3])
sizes = json.load(open(os.path.join(out, "sizes.json")))


def timings(size, measure):
    """name -> (mean, stddev, runs) over the rounds of one measure (one hyperfine export each)."""
    times = {}
    for path in sorted(glob.glob(os.path.join(out, "json", f"{size}-{measure}-*.json"))):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {name: (statistics.mean(t), statistics.stdev(t) if len(t) > 1 else 0.0, len(t))
            for name, t in times.items()}


def peak_kb(name):
    try:
        with open(os.path.join(out, "mem", name + ".txt")) as f:
            values = [int(line) for line in f if line.strip().isdigit()]
        return max(values) if values else None
    except FileNotFoundError:
        return None


def diff(a, b):
    """Difference of two means, with the spread of both."""
    return a[0] - b[0], math.hypot(a[1], b[1])


rows = []  # (size, measure, files, program, platform, memory)
for size, info in sizes.items():
    staging = timings(size, "staging")
    extraction = timings(size, "extraction")
    removal = timings(size, "removal")
    rows.append((size, "staging (copy of Windows + Others)", info["package_files"],
                 staging["program"], staging["xcopy"], peak_kb(f"{size}-staging")))
    # The tool's extraction job is its staging copy plus the eight row copies, timed apart.
    tool_extraction = (staging["xcopy"][0] + extraction["xcopy-rows"][0],
                       math.hypot(staging["xcopy"][1], extraction["xcopy-rows"][1]))
    rows.append((size, "extraction (staging + 8 per-OS rows)", info["package_files"] + info["extracted_files"],
                 extraction["program"], tool_extraction, peak_kb(f"{size}-extraction")))
    rows.append((size, "  of which the 8 rows (program derived)", info["extracted_files"],
                 diff(extraction["program"], staging["program"]), extraction["xcopy-rows"], None))
    rows.append((size, "removal of the staging folder (derived)", info["leftover_files"],
                 diff(removal["program-leftover"], removal["program-none"]),
                 diff(removal["rd-leftover"], removal["rd-none"]), peak_kb(f"{size}-removal")))


def cycle(staging, removal, stage, leftover, none):
    """Staging plus the removal of the staged tree, and that removal alone, for one side."""
    removed = diff(removal[leftover], removal[none])
    return (staging[stage][0] + removed[0], math.hypot(staging[stage][1], removed[1])), removed


cycles = []  # (size, program, xcopy + rd, Win32 loop): staging plus removal of the staged tree
for size in sizes:
    staging = timings(size, "staging")
    removal = timings(size, "removal")
    if "win32-loop" not in staging or "loop-leftover" not in removal:
        continue
    cycles.append((size, cycle(staging, removal, "program", "program-leftover", "program-none")[0],
                   cycle(staging, removal, "xcopy", "rd-leftover", "rd-none")[0],
                   cycle(staging, removal, "win32-loop", "loop-leftover", "loop-none")[0],
                   staging["program"], staging["win32-loop"],
                   diff(removal["program-leftover"], removal["program-none"]),
                   diff(removal["loop-leftover"], removal["loop-none"])))


def seconds(t):
    # A single run has no spread to show.
    return f"{t[0]:.2f} ± {t[1]:.2f}" if t[1] else f"{t[0]:.2f}"


def per_file_us(t, files):
    return t[0] / files * 1e6


def ratio(a, b):
    return a[0] / b[0] if b[0] > 0 else float("nan")


wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
print("# Package operations: the program against Wine's xcopy and rd\n")
print(f"Command: `{command}`  ")
print(f"Machine: {os.cpu_count()} cores, {platform.system()} {platform.release()}, {wine}, "
      f"ext4; times are hyperfine means ± standard deviation in seconds; the whole benchmark took "
      f"{elapsed // 60} min {elapsed % 60} s.\n")
print("| Size | make_package options | Files in the package | MB | Timed runs of each command | Time for the size |")
print("|---|---|---:|---:|---:|---:|")
for size, info in sizes.items():
    warmup = " (+1 warm-up)" if size == "S1" else ""
    rounds = timings(size, "staging")["program"][2]
    took = f"{info['seconds'] // 60} min {info['seconds'] % 60} s" if "seconds" in info else ""
    print(f"| {size} | `{info['options']}` | {info['package_files']:,} | {info['package_mb']} "
          f"| {rounds}{warmup} | {took} |")
print()
print("| Size | Measure | Files | Program (s) | Platform tool (s) | Ratio program/tool "
      "| Program µs/file | Tool µs/file | Program peak RSS (MB) |")
print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
for size, measure, files, prog, tool, mem in rows:
    mem_text = f"{mem / 1024:.1f}" if mem else ""
    print(f"| {size} | {measure} | {files:,} | {seconds(prog)} | {seconds(tool)} | {ratio(prog, tool):.2f} "
          f"| {per_file_us(prog, files):.0f} | {per_file_us(tool, files):.0f} | {mem_text} |")
baseline = [peak_kb(f"{s}-none") for s in sizes]
baseline = [b for b in baseline if b]
if baseline:
    print(f"\nPeak RSS of the same program run with nothing to copy or delete: {max(baseline) / 1024:.1f} MB.")

if cycles:
    print("\n## Staging and removal against xcopy + rd and the least Win32 loop\n")
    print("Staging plus removal of the staged tree, each side measured in the same rounds; the Win32 loop is "
          "tools/win32_loop (FindFirstFileW/CopyFileW, then DeleteFileW/RemoveDirectoryW).\n")
    print("| Size | Program (s) | xcopy + rd (s) | Win32 loop (s) | Program / (xcopy + rd) | Program / loop "
          "| Staging: program / loop | Removal: program / loop |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    for size, prog, tools, loop, prog_stage, loop_stage, prog_remove, loop_remove in cycles:
        print(f"| {size} | {seconds(prog)} | {seconds(tools)} | {seconds(loop)} | {ratio(prog, tools):.2f} "
              f"| {ratio(prog, loop):.2f} | {ratio(prog_stage, loop_stage):.2f} | {ratio(prog_remove, loop_remove):.2f} |")

# An earlier build timed in the same rounds (bench/run --compare): the change before and after.
compared = []
for size in sizes:
    staging = timings(size, "staging")
    removal = timings(size, "removal")
    if "program-before" not in staging or "program-before-leftover" not in removal:
        continue
    before, before_removed = cycle(staging, removal, "program-before", "program-before-leftover",
                                   "program-before-none")
    after, after_removed = cycle(staging, removal, "program", "program-leftover", "program-none")
    loop, _ = cycle(staging, removal, "win32-loop", "loop-leftover", "loop-none")
    compared.append((size, before, after, loop, staging["program-before"], staging["program"],
                     before_removed, after_removed))
if compared:
    print("\n## The earlier build and this one, in the same rounds\n")
    print("| Size | Staging + removal before (s) | after (s) | Before / loop | After / loop "
          "| Staging before (s) | after (s) | Removal before (s) | after (s) |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for size, before, after, loop, stage_before, stage_after, removed_before, removed_after in compared:
        print(f"| {size} | {seconds(before)} | {seconds(after)} | {ratio(before, loop):.2f} | {ratio(after, loop):.2f} "
              f"| {seconds(stage_before)} | {seconds(stage_after)} | {seconds(removed_before)} "
              f"| {seconds(removed_after)} |")

# The targets: no slower than the tools, flat cost per file, memory independent of the file count.
print("\n## Against the targets\n")
measured = [r for r in rows if "derived" not in r[1] or "removal" in r[1]]
slow = [f"{s} {m.split(' (')[0]} {ratio(p, t):.2f}" for s, m, f, p, t, _ in measured if ratio(p, t) > 1.0]
print("- Ratio at most 1.0: " + ("met everywhere." if not slow else "NOT met: " + ", ".join(slow) + "."))
for size, prog, tools, loop, *_ in cycles:
    print(f"- {size} staging + removal: program / (xcopy + rd) {ratio(prog, tools):.2f} (target at most 0.4), "
          f"program / Win32 loop {ratio(prog, loop):.2f} (target at most 1.15).")
names = list(sizes)
if len(names) > 1:
    first = names[0]
    for measure in {r[1] for r in rows}:
        base = next(r for r in rows if r[0] == first and r[1] == measure)
        parts = []
        for size in names[1:]:
            r = next(r for r in rows if r[0] == size and r[1] == measure)
            growth = per_file_us(r[3], r[2]) / per_file_us(base[3], base[2])
            tool_growth = per_file_us(r[4], r[2]) / per_file_us(base[4], base[2])
            parts.append(f"{size}/{first} {growth:.2f} (tool {tool_growth:.2f})")
        print(f"- Program cost per file, {measure.strip()}: " + ", ".join(parts) + " (target at most 1.25).")
    for measure in ("staging", "extraction", "removal"):
        peaks = [(s, peak_kb(f"{s}-{measure}")) for s in names]
        if all(p for _, p in peaks):
            print(f"- Peak RSS, {measure}: " + ", ".join(f"{s} {p / 1024:.1f} MB" for s, p in peaks) + ".")

print("""
## How each figure is formed

- staging: `NicUpdate.exe /s "/vLOGFILE=<a folder>"` (deletes no leftover, stages Windows and
  Others, runs the stand-in Setup.exe, stops with 1603 at the log it cannot make and keeps the
  staging folder) against one cmd batch
  of `xcopy /E /I /Y` of Windows and of Others into a fresh folder and the copied `Setup.exe -s`.
- extraction: `NicUpdate.exe /s "/vEXTRACTDRIVERS=X LOGFILE=<a folder>"` (stages, copies the
  eight per-OS rows out, stops with 1603 at the log it cannot make) against the xcopy staging plus a batch of eight
  `xcopy /E /I /Y` of the staged per-OS folders, timed apart and added. The rows line gives the
  program's extraction run minus its staging run, against the eight xcopy alone.
- removal: a run of NicUpdate.exe with no package beside it over a leftover staging folder minus
  the same run without one, against `cmd /c rd /s /q` of the same tree minus rd of a missing folder.
- staging + removal: the staging figure plus the removal figure, for the program, for xcopy + rd,
  and for `tools/win32_loop` (stage: FindFirstFileW/CopyFileW with fail-if-exists over Windows and Others and the
  copied `Setup.exe -s`; remove: DeleteFileW/RemoveDirectoryW over the leftover tree, minus the
  same over a missing folder).
- Files: staging counts the package's files, extraction those plus the files of the eight rows,
  removal the files of the staging folder. Peak RSS: max RSS of the wine process that is the
  program, highest over the timed runs of that measure.""")
