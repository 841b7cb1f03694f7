"""glitter-farm: glitter_render's frames rendered as Dask tasks, on this machine or a cluster.

Each task renders one tile of one frame in the worker's own process through the package's
``render()`` (the renderer core of glitter_render) and returns its pixels; this process puts
each frame together and writes it with glitter_render's image writer under glitter_render's
file name. The renderer's pixels depend only on the pixel, the sample and the frame, so the
files are glitter_render's bit for bit however the work is cut and wherever it runs.

Dask does the spreading, the retries after a lost worker and the transfers; nothing here
schedules. Files a render reads (the material file, an OBJ scene) travel inside the task
graph, so workers need only the glitter package, no shared file system.
"""

from __future__ import annotations

import argparse
import hashlib
import importlib.util
import logging
import os
import signal
import sys
import tempfile
import time
from typing import Dict, List, Optional, Sequence, Tuple

import numpy as np

from . import PLUGIN_PATH, _glitter

Rect = Tuple[int, int, int, int]

#: Options that name a file the render reads; the file's bytes go with the tasks.
_FILE_OPTIONS = ("--material", "--scene")

_USAGE = """\
usage: glitter-farm [farm options] [glitter_render options]

Renders glitter_render's frames as Dask tasks, each frame whole or cut into tiles, and writes
the files glitter_render --frames would write, with the same bits.

Farm options:
  --scheduler ADDRESS     a running Dask scheduler (e.g. tcp://10.0.0.5:8786) whose workers
                          have the glitter package (default: a cluster on this machine)
  --workers N             worker processes of the local cluster (default: one per core)
  --tile WxH              cut each frame into tiles of at most W x H pixels (default: whole
                          frames)
  --frame-list LIST       only these frames, numbered from 1 as in the file names, e.g.
                          1-10,15 (default: all --frames)
  --force                 render frames whose file exists too (default: skip them)
  --connect-timeout S     give up on the scheduler after S seconds (default: 10)
  -h, --help              show this help

Every other option is glitter_render's (--scene, --camera, --plugin, --material, --set,
--size, --spp, --threads, --clamp-indirect, --light-spread, --frames, --out, --mesh-limit),
read by glitter_render's own parser. --threads is per task (default: 1; Dask runs a task on
each worker thread). --plugin names a library on the workers (default: the one installed
with their glitter package).
"""


class FarmError(Exception):
    """A failure to report in one line and exit 1 (2 for a usage error)."""

    def __init__(self, message: str, status: int = 1) -> None:
        super().__init__(message)
        self.status = status


def render_tile(argv: List[str], frame: int, tile: Rect,
                files: Dict[str, Tuple[str, bytes]]) -> np.ndarray:
    """One tile of one frame, as a task: the shipped files are put in a folder of the task's
    own and the options that named them point there."""
    argv = list(argv)
    if "--plugin" not in argv:
        # The library installed with this worker's package, wherever that is.
        argv += ["--plugin", PLUGIN_PATH]
    if not files:
        return _glitter.render(argv, frame, tile)
    with tempfile.TemporaryDirectory(prefix="glitter-farm-") as folder:
        for option, (name, data) in files.items():
            os.mkdir(os.path.join(folder, option.strip("-")))
            path = os.path.join(folder, option.strip("-"), os.path.basename(name))
            with open(path, "wb") as f:
                f.write(data)
            argv = [path if i > 0 and argv[i - 1] == option else a for i, a in enumerate(argv)]
        try:
            return _glitter.render(argv, frame, tile)
        except (ValueError, RuntimeError) as e:
            # Messages name the file as the user gave it, not this task's copy.
            message = str(e)
            for option, (name, _) in files.items():
                message = message.replace(
                    os.path.join(folder, option.strip("-"), os.path.basename(name)), name)
            raise type(e)(message) from None


def shipped_files(files: Dict[str, Tuple[str, bytes]]) -> Dict[str, Tuple[str, bytes]]:
    """The files as a task of their own: the bytes enter the graph once, and a worker that
    loses them (killed) gets them again by running this task anew."""
    return files


def parse_frame_list(text: str, frames: int) -> List[int]:
    """0-based frames of a list such as "1-10,15" (1-based, inclusive ranges)."""
    chosen = set()
    for part in text.split(","):
        low, _, high = part.strip().partition("-")
        try:
            first, last = int(low), int(high or low)
        except ValueError:
            raise FarmError(f"--frame-list: '{part}' is no frame number or range", 2) from None
        if not 1 <= first <= last <= frames:
            raise FarmError(f"--frame-list: '{part}' is not within frames 1 to {frames}", 2)
        chosen.update(range(first - 1, last))
    return sorted(chosen)


def tiles_of(width: int, height: int, tile: Optional[Tuple[int, int]]) -> List[Rect]:
    if tile is None:
        return [(0, 0, width, height)]
    tw, th = tile
    return [(x, y, min(x + tw, width), min(y + th, height))
            for y in range(0, height, th) for x in range(0, width, tw)]


class _Parser(argparse.ArgumentParser):
    def error(self, message: str):  # type: ignore[override]
        raise FarmError(message, 2)


def parse_arguments(argv: Sequence[str]) -> Tuple[argparse.Namespace, List[str]]:
    parser = _Parser(prog="glitter-farm", add_help=False, allow_abbrev=False)
    parser.add_argument("-h", "--help", action="store_true")
    parser.add_argument("--scheduler")
    parser.add_argument("--workers", type=int)
    parser.add_argument("--tile")
    parser.add_argument("--frame-list")
    parser.add_argument("--force", action="store_true")
    parser.add_argument("--connect-timeout", type=float, default=10.0)
    return parser.parse_known_args(list(argv))


class Progress:
    """Frames and tiles done, and the time left from the pixels done so far, on standard
    error: redrawn in place on a terminal, a line per frame otherwise."""

    def __init__(self, frames: int, tiles: int, pixels: int) -> None:
        self.frames, self.tiles, self.pixels = frames, tiles, pixels
        self.frames_done = self.tiles_done = self.pixels_done = 0
        self.start = time.monotonic()
        self.terminal = sys.stderr.isatty()

    def tile_done(self, pixels: int) -> None:
        self.tiles_done += 1
        self.pixels_done += pixels
        if self.terminal:
            self.draw("\r")

    def frame_done(self, message: str) -> None:
        """Counts a frame and prints `message` on standard output, above the bar."""
        self.frames_done += 1
        if self.terminal:
            sys.stderr.write("\r\033[K")
            sys.stderr.flush()
        print(message, flush=True)
        self.draw("\r" if self.terminal else "")

    def draw(self, start: str) -> None:
        fraction = self.pixels_done / self.pixels if self.pixels else 1.0
        elapsed = time.monotonic() - self.start
        left = elapsed * (1.0 - fraction) / fraction if fraction > 0 else float("nan")
        bar = "#" * int(30 * fraction)
        end = "\n" if not self.terminal or self.frames_done == self.frames else ""
        sys.stderr.write(f"{start}[{bar:<30}] frames {self.frames_done}/{self.frames}, "
                         f"tiles {self.tiles_done}/{self.tiles}, {_clock(elapsed)} elapsed, "
                         f"{_clock(left)} left{end}")
        sys.stderr.flush()


def _clock(seconds: float) -> str:
    if seconds != seconds:
        return "--:--"
    s = int(round(seconds))
    if s >= 3600:
        return f"{s // 3600}:{s // 60 % 60:02d}:{s % 60:02d}"
    return f"{s // 60}:{s % 60:02d}"


def _connect(options: argparse.Namespace):
    # Imported here so that --help and usage errors need no Dask.
    import dask
    from distributed import Client, LocalCluster

    if options.scheduler:
        try:
            return Client(options.scheduler, timeout=options.connect_timeout), None
        except (OSError, TimeoutError) as e:
            raise FarmError(f"cannot reach the scheduler at {options.scheduler} within "
                            f"{options.connect_timeout:g} s ({e})") from None
    workers = options.workers if options.workers is not None else os.cpu_count() or 1
    # Dask's background upkeep (a stack sample every 10 ms, loop checks every 20 ms, system
    # readings every 0.5 s) costs an idle worker process several percent of a core, which is
    # taken from the render; the nannies pass this to their workers.
    dask.config.set({"distributed.worker.profile.enabled": False,
                     "distributed.admin.tick.interval": "500ms",
                     "distributed.admin.system-monitor.interval": "2s",
                     "distributed.worker.multiprocessing-method": "forkserver"})
    # One single-threaded worker process per core, every port on the loopback address.
    cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                           host="127.0.0.1", dashboard_address="127.0.0.1:0",
                           silence_logs=logging.ERROR)
    return Client(cluster, timeout=options.connect_timeout), cluster


def _dashboard(client, local: bool) -> Optional[str]:
    # A local scheduler runs in this process: without bokeh here its page would only say so.
    if local and importlib.util.find_spec("bokeh") is None:
        return None
    try:
        if "dashboard" not in client.scheduler_info().get("services", {}):
            return None
        return client.dashboard_link
    except Exception:  # the dashboard is a convenience, never a reason to fail
        return None


def run(argv: Sequence[str]) -> int:
    options, render_argv = parse_arguments(argv)
    if options.help:
        sys.stdout.write(_USAGE)
        return 0
    if options.workers is not None and options.workers < 1:
        raise FarmError("--workers must be at least 1", 2)
    if not options.connect_timeout > 0:
        raise FarmError("--connect-timeout must be more than 0 seconds", 2)
    if not options.scheduler:
        _start_worker_server()
    tile_size = None
    if options.tile:
        try:
            tile_size = tuple(int(v) for v in options.tile.lower().split("x"))
            assert len(tile_size) == 2 and min(tile_size) >= 1
        except (ValueError, AssertionError):
            raise FarmError(f"--tile takes WxH with positive sizes, not '{options.tile}'",
                            2) from None
    try:
        settings = _glitter.render_options(render_argv)
    except _glitter.UsageError as e:
        raise FarmError(str(e), 2) from None
    if settings["help"]:
        raise FarmError("--help is glitter-farm's own option; glitter_render --help lists the "
                        "render options", 2)
    if "--threads" not in render_argv:
        render_argv += ["--threads", "1"]

    frames = list(range(settings["frames"]))
    if options.frame_list:
        frames = parse_frame_list(options.frame_list, settings["frames"])
    outputs = settings["outputs"]
    for frame in frames:
        try:
            _glitter.check_image_path(outputs[frame])
        except _glitter.ImageWriteError as e:
            raise FarmError(str(e), 2) from None
    todo = [f for f in frames if options.force or not os.path.exists(outputs[f])]
    for frame in frames:
        if frame not in todo:
            print(f"skipped {outputs[frame]}: it exists (--force renders it again)")
    if not todo:
        return 0

    files: Dict[str, Tuple[str, bytes]] = {}
    for option, path in (("--material", settings["material_file"]), ("--scene", settings["scene"])):
        if path and not (option == "--scene" and path == "default"):
            try:
                with open(path, "rb") as f:
                    files[option] = (path, f.read())
            except OSError as e:
                raise FarmError(f"cannot read {option} file: {e}", 2) from None

    width, height = settings["width"], settings["height"]
    tiles = tiles_of(width, height, tile_size)
    client, cluster = _connect(options)
    try:
        link = _dashboard(client, cluster is not None)
        if link:
            print(f"Dask dashboard: {link}")
        sys.stdout.flush()
        return _render(client, render_argv, files, todo, tiles, outputs, width, height)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
            _stop_helper_processes()


def _start_worker_server() -> None:
    """Starts the process the local cluster's workers are forked from, and has it import Dask
    and this package while this process imports Dask too. Spawned workers would each start a
    new interpreter and import both after the cluster is up: about two seconds of a short
    render on two cores. The server is forked from this process while it has one thread only,
    and the workers from the server, which has one too."""
    from multiprocessing import forkserver

    forkserver.set_forkserver_preload(["distributed", "numpy", "glitter.farm"])
    forkserver.ensure_running()


def _stop_helper_processes() -> None:
    # Started by multiprocessing for the workers, they would otherwise end only after this
    # process, as orphans. Once the workers are gone the worker server holds nothing to tidy,
    # and an orderly exit would first tear down its imports (a third of a second of every
    # run): SIGTERM ends it at once, and stopping it then only reaps it.
    from multiprocessing import forkserver, resource_tracker

    pid = getattr(forkserver._forkserver, "_forkserver_pid", None)
    if pid is not None:
        os.kill(pid, signal.SIGTERM)
    for helper in (forkserver._forkserver, resource_tracker._resource_tracker):
        stop = getattr(helper, "_stop", None)
        if stop is not None:
            stop()


def _render(client, argv, files, frames, tiles, outputs, width, height) -> int:
    from distributed import as_completed

    token = hashlib.sha1(repr((argv, sorted((k, v[0], v[1]) for k, v in files.items()))).encode())
    token = token.hexdigest()[:12]
    shipped = client.submit(shipped_files, files, key=f"glitter-files-{token}", pure=False)
    futures = {}
    for frame in frames:
        for tile in tiles:
            future = client.submit(render_tile, argv, frame, tile, shipped, pure=False,
                                   key=f"glitter-tile-{token}-{frame}-{tile[0]}-{tile[1]}")
            futures[future] = (frame, tile)
    progress = Progress(len(frames), len(futures), len(frames) * width * height)
    images: Dict[int, np.ndarray] = {}
    missing = {frame: len(tiles) for frame in frames}
    completed = as_completed(futures, with_results=True, raise_errors=False)
    try:
        for future, result in completed:
            frame, (x0, y0, x1, y1) = futures.pop(future)
            if future.status != "finished":
                raise FarmError(f"frame {frame + 1}, tile ({x0}, {y0}, {x1}, {y1}): "
                                f"{_message(future)}")
            image = images.setdefault(frame, np.empty((height, width, 3), np.float32))
            image[y0:y1, x0:x1] = result
            progress.tile_done((x1 - x0) * (y1 - y0))
            missing[frame] -= 1
            if missing[frame] == 0:
                _glitter.write_image(images.pop(frame), outputs[frame])
                progress.frame_done(f"wrote {os.path.abspath(outputs[frame])}")
    finally:
        if futures:
            client.cancel(list(futures))
    return 0


def _message(future) -> str:
    try:
        error = future.exception()
    except Exception as e:  # the future itself failed to report (lost, cancelled)
        error = e
    return f"{type(error).__name__}: {error}"


def main(argv: Optional[Sequence[str]] = None) -> int:
    try:
        return run(sys.argv[1:] if argv is None else argv)
    except FarmError as e:
        sys.stderr.write(f"glitter-farm: {e}\n")
        if e.status == 2:
            sys.stderr.write("Try 'glitter-farm --help'.\n")
        return e.status
    except KeyboardInterrupt:
        sys.stderr.write("glitter-farm: interrupted\n")
        return 130


if __name__ == "__main__":
    sys.exit(main())
