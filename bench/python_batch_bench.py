"""Per-element cost of the glitter package's batched evaluation and sampling, to set beside
bsdf_bench's BM_EvalLight and BM_SampleDirection (the same shading points, lights and
uniforms in kind: one footprint of 0 (flakes off), 100 or 690 expected flakes, the ray
normalize(0.2, 0.1, -1), batches of 10^5 on one thread).

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_batch_bench.py
    build/release/bench/bsdf_bench --benchmark_filter='EvalLight|SampleDirection'
"""

import time

import numpy as np

import glitter

N = 100_000
REPEATS = 7


def best_ns_per_element(call):
    call()  # warm: first search, page faults of the outputs
    best = float("inf")
    for _ in range(REPEATS):
        # CPU time, as bsdf_bench's CPU column: the machine may be shared.
        start = time.process_time()
        call()
        best = min(best, time.process_time() - start)
    return best / N * 1e9


def main():
    num_flakes = glitter.Material().num_flakes
    rng = np.random.default_rng(7)
    ray = np.array([0.2, 0.1, -1.0], np.float32)
    ray /= np.linalg.norm(ray)
    light = np.column_stack([rng.uniform(-0.5, 0.5, (64, 2)), np.ones(64)])
    light = (light / np.linalg.norm(light, axis=1, keepdims=True)).astype(np.float32)
    light = np.ascontiguousarray(np.tile(light, (N // 64 + 1, 1))[:N])
    u = rng.uniform(0.0, 0.999, (N, 4)).astype(np.float32)
    print(f"{'case':<28}{'ns/element':>12}{'flakes':>8}")
    for expected in (0, 100, 690):
        material = glitter.Material(enable_flakes=expected > 0)
        side = np.sqrt(max(expected, 10) / num_flakes)
        fp = np.array([0.37, 0.61, side, 0.0, 0.0, side], np.float32)
        ev = best_ns_per_element(lambda: glitter.evaluate(fp, ray, light, material, threads=1))
        sa = best_ns_per_element(lambda: glitter.sample(fp, ray, u, material, threads=1))
        found = len(glitter.flakes(fp, ray, material))
        print(f"{'evaluate expected=' + str(expected):<28}{ev:>12.1f}{found:>8}")
        print(f"{'sample expected=' + str(expected):<28}{sa:>12.1f}{found:>8}")


if __name__ == "__main__":
    main()
