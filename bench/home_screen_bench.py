#!/usr/bin/env python3
"""The default theme's home screen, measured the way a living-room PC sees it.

usage: bench/home_screen_bench.py STAGE [OTHER_STAGE ...]

A stage is a staged lorvane (build/stage: bin/lorvane, conf/, themes/). Several stages are
measured side by side in one run, turn about, and every figure is the median of REPEAT runs:

  first frame   start to the first presented frame and back (--headless --frames 1), seconds
  fps           frames a second with every frame drawn (--headless --no-vsync), 800 x 600 and
                1920 x 1080, on SDL's software renderer; also per second of processor time,
                which a machine busy with other work does not distort
  idle headless share of one core while the home screen sits idle, paced to 60 Hz, 1920 x 1080
  idle X        the same in a real X window (Xvfb at 1920 x 1080, full screen, the renderer SDL
                picks there: Mesa's software OpenGL), and its resident memory

Environment: REPEAT (3), FRAMES (300), IDLE_SECONDS (20), XVFB_DISPLAY (:77).
"""
import os
import re
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

REPEAT = int(os.environ.get("REPEAT", "3"))
FRAMES = int(os.environ.get("FRAMES", "300"))
IDLE_SECONDS = float(os.environ.get("IDLE_SECONDS", "20"))
XVFB_DISPLAY = os.environ.get("XVFB_DISPLAY", ":77")
TICKS = os.sysconf("SC_CLK_TCK")
HEADLESS = {"SDL_VIDEODRIVER": "offscreen", "SDL_RENDER_DRIVER": "software",
            "SDL_FRAMEBUFFER_ACCELERATION": "0", "SDL_AUDIODRIVER": "dummy"}


def make_base(work, stage, name, width, height, full_screen):
    """A base folder of its own (the preferences are written back on close)."""
    base = os.path.join(work, name)
    if os.path.exists(base):
        shutil.rmtree(base)
    os.makedirs(base)
    shutil.copytree(os.path.join(stage, "conf"), os.path.join(base, "conf"))
    os.symlink(os.path.abspath(os.path.join(stage, "themes")), os.path.join(base, "themes"))
    prefs = os.path.join(base, "conf", "Preferences.xml")
    with open(prefs, encoding="iso-8859-1") as f:
        text = f.read()
    text = re.sub(r"<ScreenWidth>[^<]*<", "<ScreenWidth>%d<" % width, text)
    text = re.sub(r"<ScreenHeight>[^<]*<", "<ScreenHeight>%d<" % height, text)
    text = re.sub(r"<FullScreen>[^<]*<", "<FullScreen>%s<" % ("yes" if full_screen else "no"), text)
    with open(prefs, "w", encoding="iso-8859-1") as f:
        f.write(text)
    return base


def binary(stage):
    return os.path.abspath(os.path.join(stage, "bin", "lorvane"))


def clean_env(extra):
    env = {k: v for k, v in os.environ.items() if not k.startswith("SDL_") and k != "DISPLAY"}
    env.update(extra)
    return env


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed_run(stage, base, args):
    """Wall-clock and CPU seconds of one run."""
    start, cpu = time.monotonic(), children_cpu()
    subprocess.run([binary(stage), "--base", base] + args, env=clean_env(HEADLESS), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start, children_cpu() - cpu


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def resident_mib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def idle_share(stage, base, args, env, warmup=4.0):
    """Percent of one core used while idle, after a warm-up, and the resident memory."""
    proc = subprocess.Popen([binary(stage), "--base", base] + args, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(warmup)
        if proc.poll() is not None:
            raise RuntimeError("lorvane ended early (status %d)" % proc.returncode)
        before, t0 = cpu_seconds(proc.pid), time.monotonic()
        time.sleep(IDLE_SECONDS)
        after, t1 = cpu_seconds(proc.pid), time.monotonic()
        rss = resident_mib(proc.pid)
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return 100.0 * (after - before) / (t1 - t0), rss


def main():
    stages = sys.argv[1:]
    if not stages or any(not os.path.exists(binary(s)) for s in stages):
        sys.exit(__doc__)
    work = tempfile.mkdtemp(prefix="lorvane-bench-")
    xvfb = None
    figures = {s: {} for s in stages}

    def add(stage, key, value):
        figures[stage].setdefault(key, []).append(value)

    try:
        if shutil.which("Xvfb"):
            xvfb = subprocess.Popen(["Xvfb", XVFB_DISPLAY, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1.5)
        for round_ in range(REPEAT):
            for i, stage in enumerate(stages):
                tag = "s%d" % i
                small = make_base(work, stage, tag + "-small", 800, 600, False)
                large = make_base(work, stage, tag + "-large", 1920, 1080, False)
                add(stage, "first frame (s)", timed_run(stage, large, ["--headless", "--frames", "1"])[0])
                for name, base in (("800x600", small), ("1920x1080", large)):
                    short = timed_run(stage, base, ["--headless", "--no-vsync", "--frames", "20"])
                    full = timed_run(stage, base, ["--headless", "--no-vsync", "--frames", str(20 + FRAMES)])
                    add(stage, "fps %s --no-vsync" % name, FRAMES / max(full[0] - short[0], 1e-6))
                    # Frames per second of processor time: what the figure would be on an idle
                    # machine, however busy this one is.
                    add(stage, "fps %s per CPU second" % name, FRAMES / max(full[1] - short[1], 1e-6))
                share, _ = idle_share(stage, large, ["--headless"], clean_env(HEADLESS))
                add(stage, "idle headless 1920x1080 (% of a core)", share)
                if xvfb:
                    screen = make_base(work, stage, tag + "-x", 1920, 1080, True)
                    share, rss = idle_share(stage, screen, [], clean_env({"DISPLAY": XVFB_DISPLAY,
                                                                          "SDL_AUDIODRIVER": "dummy"}))
                    add(stage, "idle X 1920x1080 (% of a core)", share)
                    add(stage, "resident in X (MiB)", rss)
        keys = list(figures[stages[0]].keys())
        width = max(len(k) for k in keys)
        print("medians of %d runs; %d frames a fps run; %.0f s idle" % (REPEAT, FRAMES, IDLE_SECONDS))
        print(" " * width + "".join("  %14s" % ("stage %d" % i) for i in range(len(stages))))
        for key in keys:
            print(key.ljust(width) + "".join("  %14.2f" % statistics.median(figures[s][key]) for s in stages))
        for i, stage in enumerate(stages):
            print("stage %d: %s" % (i, stage))
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
