"""glitter-farm against glitter_render: the same files bit for bit from tiles on two worker
processes, after a worker is killed, and on a rerun that skips finished frames; clean failures
for a bad material file and an unreachable scheduler. Everything listens on 127.0.0.1, and no
process outlives the tests. CTest sets GLITTER_RENDER and GLITTER_FARM."""

import os
import signal
import subprocess
import sys
import time

import pytest

distributed = pytest.importorskip("distributed")

RENDER = ["--size", "40x24", "--spp", "12", "--frames", "3", "--set", "random_hue=on"]


def farm(*args, wait=True):
    program = os.environ.get("GLITTER_FARM")
    if program is None:
        pytest.skip("GLITTER_FARM is not set (CTest sets it)")
    # A session of its own, so that whatever the run started is in its process group.
    run = subprocess.Popen([sys.executable, program, *RENDER, *args], text=True,
                           start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if not wait:
        return run
    out, err = run.communicate(timeout=300)
    return run.returncode, out, err, run.pid


@pytest.fixture(scope="module")
def reference(tmp_path_factory):
    program = os.environ.get("GLITTER_RENDER")
    if program is None:
        pytest.skip("GLITTER_RENDER is not set (CTest sets it)")
    folder = tmp_path_factory.mktemp("reference")
    subprocess.run([program, *RENDER, "--threads", "2", "--out", str(folder / "t.exr")],
                   check=True, capture_output=True)
    return [(folder / f"t.000{i}.exr").read_bytes() for i in (1, 2, 3)]


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1",
                                  dashboard_address="127.0.0.1:0") as c, \
            distributed.Client(c) as client:
        yield c.scheduler_address, client


def outputs(folder):
    return [folder / f"t.000{i}.exr" for i in (1, 2, 3)]


def test_uneven_tiles_on_the_embedded_cluster_give_glitter_renders_files(tmp_path, reference):
    status, out, err, group = farm("--workers", "2", "--tile", "16x10",
                                   "--out", str(tmp_path / "t.exr"))
    assert status == 0, err
    assert [f.read_bytes() for f in outputs(tmp_path)] == reference
    with pytest.raises(ProcessLookupError):
        os.killpg(group, 0)  # no process of the run outlives it


def test_rerun_renders_only_missing_frames(tmp_path, reference, cluster):
    files = outputs(tmp_path)
    files[0].write_bytes(b"kept")
    files[2].write_bytes(b"kept")
    status, out, err, _ = farm("--scheduler", cluster[0], "--out", str(tmp_path / "t.exr"))
    assert status == 0, err
    assert [f.read_bytes() for f in files] == [b"kept", reference[1], b"kept"]
    assert out.count("skipped") == 2 and out.count("wrote") == 1


def test_killed_worker_changes_nothing(tmp_path, reference, cluster):
    address, client = cluster
    run = farm("--scheduler", address, "--tile", "8x8", "--out", str(tmp_path / "t.exr"),
               wait=False)
    pids = client.run(os.getpid)
    victim = None
    while victim is None and run.poll() is None:
        busy = [w for w, keys in client.processing().items() if any("tile" in k for k in keys)]
        victim = pids[busy[0]] if busy else None
        time.sleep(0.05)
    assert victim is not None, "the run ended before a worker could be killed"
    os.kill(victim, signal.SIGKILL)
    out, err = run.communicate(timeout=300)
    assert run.returncode == 0, err
    assert [f.read_bytes() for f in outputs(tmp_path)] == reference


def test_bad_material_fails_with_the_workers_message_and_writes_nothing(tmp_path, cluster):
    bad = tmp_path / "bad.scene"
    bad.write_bytes(b"not a stored scene")
    status, out, err, _ = farm("--scheduler", cluster[0], "--material", str(bad),
                            "--out", str(tmp_path / "t.exr"))
    assert status == 1 and "wrong magic" in err and str(bad) in err
    assert list(tmp_path.iterdir()) == [bad]


def test_unreachable_scheduler_is_a_clear_error_in_bounded_time(tmp_path):
    start = time.monotonic()
    status, out, err, _ = farm("--scheduler", "tcp://127.0.0.1:9", "--connect-timeout", "1",
                            "--out", str(tmp_path / "t.exr"))
    assert status == 1 and "cannot reach the scheduler" in err
    assert time.monotonic() - start < 30
