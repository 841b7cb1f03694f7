"""The glitter package against the C++ library: same bits through the BSDF's renderer interface
(glitter_python_reference) and from glitter_render, the same bits on any thread count, and
clear exceptions for bad input. CTest sets GLITTER_REFERENCE and GLITTER_RENDER."""

import os
import subprocess

import numpy as np
import pytest

import glitter

RAY = np.array([0.2, -0.1, -0.97467943], dtype=np.float32)


def footprint(expected, u=0.37, v=0.61, num_flakes=10_000_000, skew=0.3):
    """A parallelogram of `expected` flakes of the material's count, centred at (u, v)."""
    side = np.sqrt(expected / num_flakes / (1.0 - skew * skew))
    return np.array([u, v, side, skew * side, skew * side, side], dtype=np.float32)


def batch(rng, n, expected_counts, rows):
    """n elements in runs of equal footprint (50) and of equal ray (30), so that either can
    change alone from one element to the next (the package shares one search across a run),
    with per-element rows drawn by `rows`."""
    fp = np.empty((n, 6), np.float32)
    ray = np.empty((n, 3), np.float32)
    for start in range(0, n, 50):
        e = expected_counts[(start // 50) % len(expected_counts)]
        fp[start:start + 50] = footprint(e, *rng.uniform(0.05, 0.9, 2))
    for start in range(0, n, 30):
        r = np.array([*rng.uniform(-0.4, 0.4, 2), -1.0])
        ray[start:start + 30] = r / np.linalg.norm(r)
    return fp, ray, rows(rng, n).astype(np.float32)


def lights(rng, n):
    d = np.column_stack([rng.normal(0, 0.15, (n, 2)), np.ones(n)])
    return d / np.linalg.norm(d, axis=1, keepdims=True)


def reference(mode, settings, *arrays):
    exe = os.environ.get("GLITTER_REFERENCE")
    if exe is None:
        pytest.skip("GLITTER_REFERENCE is not set (CTest sets it)")
    rows = np.ascontiguousarray(np.hstack(arrays), dtype=np.float32)
    data = np.int64(len(rows)).tobytes() + rows.tobytes()
    args = [exe, mode] + [f"{k}={int(v) if isinstance(v, bool) else v}" for k, v in settings.items()]
    out = subprocess.run(args, input=data, capture_output=True, check=True).stdout
    return np.frombuffer(out, np.float32).reshape(len(rows), -1)


def bits(a):
    return np.ascontiguousarray(a, dtype=np.float32).view(np.uint32)


# Materials and footprints the renderer sees: flakes off (smooth lobe), few and many flakes,
# the blend band, and the coloured variant; with non-default glossiness and blur so that the
# render-start conversions are exercised.
CASES = {
    "plain": ({"hilight_glossiness": 0.75, "blur_angle": 5.0}, [0, 8, 60, 300]),
    "blend": ({"blend_min": 100.0, "blend_max": 400.0}, [150, 350, 600]),
    "colored": ({"random_hue": True, "num_flakes": 2_000_000}, [10, 120]),
}


@pytest.mark.parametrize("case", CASES)
def test_evaluate_and_sample_give_the_cpp_bits(case):
    settings, counts = CASES[case]
    material = glitter.Material(**settings)
    if "num_flakes" in settings:
        counts = [c * 10_000_000 / settings["num_flakes"] for c in counts]  # same areas
    rng = np.random.default_rng(1)
    fp, ray, light = batch(rng, 2000, counts, lights)
    value, density = glitter.evaluate(fp, ray, light, material)
    ref = reference("eval", settings, fp, ray, light)
    assert np.count_nonzero(density) > 400
    np.testing.assert_array_equal(bits(value), bits(ref[:, :3]))
    np.testing.assert_array_equal(bits(density), bits(ref[:, 3]))

    fp, ray, u = batch(rng, 2000, counts, lambda r, n: r.uniform(0, 1, (n, 4)))
    direction, weight, density = glitter.sample(fp, ray, u, material)
    ref = reference("sample", settings, fp, ray, u)
    assert np.count_nonzero(weight[:, 0]) > 1000
    np.testing.assert_array_equal(bits(direction), bits(ref[:, :3]))
    np.testing.assert_array_equal(bits(weight), bits(ref[:, 3:6]))
    np.testing.assert_array_equal(bits(density), bits(ref[:, 6]))


def test_million_evaluations_same_bits_on_one_and_two_threads():
    rng = np.random.default_rng(2)
    n = 1_000_000
    light = lights(rng, n).astype(np.float32)
    fp = np.repeat(np.stack([footprint(e, *rng.uniform(0.1, 0.9, 2)) for e in (30, 200, 650, 900)]),
                   n // 4, axis=0)
    one = glitter.evaluate(fp, RAY, light, threads=1)
    two = glitter.evaluate(fp, RAY, light, threads=2)
    assert np.count_nonzero(one[1]) > n // 2
    for a, b in zip(one, two):
        np.testing.assert_array_equal(bits(a), bits(b))


def test_sample_weight_is_value_over_density_times_filter():
    material = glitter.Material(random_hue=True, reflection_filter=(0.5, 0.25, 1.0))
    rng = np.random.default_rng(3)
    u = rng.uniform(0, 1, (4000, 4)).astype(np.float32)
    fp = footprint(40)
    direction, weight, density = glitter.sample(fp, RAY, u, material)
    kept = density >= 1e-8
    assert kept.sum() > 3000
    value, eval_density = glitter.evaluate(fp, RAY, np.ascontiguousarray(direction[kept]), material)
    filt = np.array(material.reflection_filter, np.float32)
    np.testing.assert_allclose(weight[kept], value / eval_density[:, None] * filt, rtol=1e-5)
    np.testing.assert_allclose(density[kept], eval_density, rtol=1e-5)


def test_flakes_are_where_evaluation_finds_them():
    fp = footprint(60)
    found = glitter.flakes(fp, RAY)
    assert found.discrete and 30 < len(found) < 120 and found.expected == pytest.approx(60, rel=1e-4)
    seen = found.weights > 0
    value, _ = glitter.evaluate(fp, RAY, np.ascontiguousarray(found.directions[seen]))
    assert np.all(value[:, 0] > 0)
    # Far outside every flake's blur cone, nothing is reflected.
    away = np.array([[0.6, 0.6, 0.52915026]], np.float32)
    assert glitter.evaluate(fp, RAY, away)[0][0, 0] == 0
    assert not glitter.flakes(footprint(900), RAY).discrete


def test_render_gives_the_bits_of_glitter_render(tmp_path):
    program = os.environ.get("GLITTER_RENDER")
    if program is None:
        pytest.skip("GLITTER_RENDER is not set (CTest sets it)")
    material = glitter.Material(random_hue=True, num_flakes=30_000_000)
    options = ["--camera", "close", "--size", "40x24", "--spp", "2", "--threads", "2"]
    out = tmp_path / "image.exr"
    subprocess.run([program, *options, *material.set_args(), "--out", str(out)],
                   check=True, capture_output=True)
    expected = reference_exr(out)
    image = glitter.render(material, camera="close", size=(40, 24), spp=2, threads=2)
    assert image.shape == (24, 40, 3) and image.dtype == np.float32 and image.max() > 0
    np.testing.assert_array_equal(bits(image).ravel(), bits(expected).ravel())


def reference_exr(path):
    out = subprocess.run([os.environ["GLITTER_REFERENCE"], "exr", str(path)],
                         capture_output=True, check=True).stdout
    return np.frombuffer(out, np.float32)


L = lights(np.random.default_rng(4), 8).astype(np.float32)
FP = footprint(50)


@pytest.mark.parametrize("call, error, message", [
    (lambda: glitter.evaluate(FP, RAY, L.astype(np.float64)), TypeError, "float32"),
    (lambda: glitter.evaluate(FP, RAY, L.tolist()), TypeError, "numpy array"),
    (lambda: glitter.evaluate(FP, RAY, L[:, :2].copy()), ValueError, "shape"),
    (lambda: glitter.evaluate(FP, RAY, L[::2]), ValueError, "C-contiguous"),
    (lambda: glitter.evaluate(np.tile(FP, (3, 1)), RAY, L), ValueError, "rows"),
    (lambda: glitter.evaluate(FP, np.array([0, 0, np.nan], np.float32), L), ValueError, "non-finite"),
    (lambda: glitter.sample(FP, RAY, L), ValueError, "shape"),
    (lambda: glitter.evaluate(FP, RAY, L, threads=-1), ValueError, "threads"),
    (lambda: glitter.Material(blur_angle=25.0), ValueError, "outside"),
    (lambda: glitter.Material(num_flakes=2.5), ValueError, "integer"),
    (lambda: glitter.Material(hilight_glossiness=float("nan")), ValueError, "NaN"),
    (lambda: glitter.Material(num_flake=3), AttributeError, "num_flake"),
    (lambda: glitter.evaluate(FP, RAY, L, glitter.Material(reflection_map="checker")), ValueError, "render"),
    (lambda: glitter.render(size=(0, 4)), ValueError, "size"),
    (lambda: glitter.render(size=(8, 4), tile=(0, 0, 9, 4)), ValueError, "tile"),
    (lambda: glitter.render(args=["--no-such-option"]), ValueError, "no-such-option"),
    (lambda: glitter.render(plugin="/nonexistent.dlt"), RuntimeError, "nonexistent"),
])
def test_bad_input_raises_a_clear_exception(call, error, message):
    with pytest.raises(error, match=message):
        call()
