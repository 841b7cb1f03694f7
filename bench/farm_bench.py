"""Wall time of a 4-frame turntable from glitter-farm on a 2-worker local cluster against
glitter_render --frames 4 --threads 2, run in turn in the same session, and the farm's fixed
cost per task. The farm's time is the whole command's: starting the cluster and its worker
processes, shipping, assembling and writing included; that start-up is what a long-running
cluster would not pay again.

    /usr/bin/python3 bench/farm_bench.py [--build DIR] [--pairs 3] [glitter_render options]

Extra options go to both commands (default: glitter_render's default scene and size). The
two programs' files are compared byte for byte after every pair.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command):
    """Wall seconds and CPU seconds (user + system, of the command and every process it
    waited for: the local cluster's workers too)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def task_overhead(build, tasks=400):
    """Seconds per task of the farm's smallest task (a 1x1 tile at one sample: set-up of the
    scene and material, the render call, the result's trip back) and of an empty Dask task, on
    two single-threaded workers kept running."""
    sys.path.insert(0, os.path.join(build, "python"))
    from distributed import Client, LocalCluster

    from glitter import farm

    argv = ["--size", "640x360", "--spp", "1", "--threads", "1", "--frames", "4"]
    with LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1",
                      dashboard_address="127.0.0.1:0") as cluster, Client(cluster) as client:
        files = client.submit(farm.shipped_files, {}, pure=False)
        client.gather(client.map(farm.render_tile, [argv] * 4, range(4), [(0, 0, 1, 1)] * 4,
                                 files=files, pure=False))  # warm both workers
        figures = {}
        for name, submit in (
            ("empty task", lambda: client.map(int, range(tasks), pure=False)),
            ("1x1 tile task", lambda: client.map(farm.render_tile, [argv] * tasks,
                                                 [i % 4 for i in range(tasks)],
                                                 [(i % 640, 0, i % 640 + 1, 1)
                                                  for i in range(tasks)],
                                                 files=files, pure=False)),
        ):
            start = time.perf_counter()
            client.gather(submit())
            # Two workers share the tasks: each task holds one of them this long.
            figures[name] = (time.perf_counter() - start) * 2 / tasks
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--pairs", type=int, default=3)
    parser.add_argument("--tile", default="320x180", help="the farm's tile size (WxH)")
    options, extra = parser.parse_known_args()
    render = os.path.join(options.build, "apps/renderer/glitter_render")
    farm = os.path.join(options.build, "python/glitter-farm")
    common = ["--frames", "4", *extra]
    single, spread = [], []
    with tempfile.TemporaryDirectory() as folder:
        for pair in range(options.pairs):
            for name in os.listdir(folder):
                os.remove(os.path.join(folder, name))
            single.append(timed([render, *common, "--threads", "2",
                                 "--out", os.path.join(folder, "r.exr")]))
            spread.append(timed([sys.executable, farm, *common, "--workers", "2",
                                 "--tile", options.tile, "--out", os.path.join(folder, "f.exr")]))
            for frame in range(1, 5):
                with open(os.path.join(folder, f"r.{frame:04d}.exr"), "rb") as r, \
                        open(os.path.join(folder, f"f.{frame:04d}.exr"), "rb") as f:
                    assert r.read() == f.read(), f"frame {frame} differs"
            (sw, sc), (fw, fc) = single[-1], spread[-1]
            print(f"pair {pair + 1}: glitter_render {sw:.2f} s ({sc:.2f} s CPU), glitter-farm "
                  f"{fw:.2f} s ({fc:.2f} s CPU), ratio {fw / sw:.3f} wall, {fc / sc:.3f} CPU",
                  flush=True)
    for kind, i in (("wall", 0), ("CPU", 1)):
        ratios = [f[i] / s[i] for f, s in zip(spread, single)]
        print(f"median {kind}: glitter_render {statistics.median(s[i] for s in single):.2f} s, "
              f"glitter-farm {statistics.median(f[i] for f in spread):.2f} s, ratio "
              f"{statistics.median(ratios):.3f} (min {min(ratios):.3f}, max {max(ratios):.3f})")
    for name, seconds in task_overhead(options.build).items():
        print(f"per task, {name}: {seconds * 1e3:.2f} ms")


if __name__ == "__main__":
    main()
