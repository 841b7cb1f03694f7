"""Draws the material's figures in docs/ with the glitter Python package and matplotlib.

    cmake --build --preset release --target glitter_python
    PYTHONPATH=build/release/python /usr/bin/python3 docs/figures.py [OUTDIR]

(or `cmake --build --preset release --target glitter_figures`). Every number comes from the
package, that is from the material's C++ code.
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import glitter  # noqa: E402

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
NUM_FLAKES = glitter.Material().num_flakes
THETA_VIEW = np.radians(30.0)
# A ray arriving 30 degrees off the normal, from -x: the mirror direction leans to +x.
RAY = np.array([np.sin(THETA_VIEW), 0.0, -np.cos(THETA_VIEW)], np.float32)


def footprint(expected, u=0.43, v=0.57, num_flakes=NUM_FLAKES):
    side = np.sqrt(expected / num_flakes)
    return np.array([u, v, side, 0.0, 0.0, side], np.float32)


def hemisphere_grid(n=320, extent=0.5):
    """Light directions over a square of the projected hemisphere around the mirror
    direction (x, y in [-extent, extent] about (sin 30deg, 0))."""
    cx = np.sin(THETA_VIEW)
    xs = np.linspace(cx - extent, cx + extent, n)
    ys = np.linspace(-extent, extent, n)
    x, y = np.meshgrid(xs, ys)
    z2 = 1.0 - x * x - y * y
    inside = z2 > 0
    z = np.sqrt(np.where(inside, z2, 0.0))
    d = np.stack([x, y, np.where(inside, z, 1.0)], axis=-1).reshape(-1, 3)
    return np.ascontiguousarray(d, np.float32), inside, (xs[0], xs[-1], ys[0], ys[-1])


def lobe(material, fp):
    light, inside, extent = hemisphere_grid()
    value, _ = glitter.evaluate(fp, RAY, light, material)
    img = value[:, 0].reshape(inside.shape) * inside
    return img, extent


def show_lobes(panels, path, title):
    fig, axes = plt.subplots(1, len(panels), figsize=(3.2 * len(panels), 3.4))
    for ax, (label, img, extent) in zip(axes, panels):
        ax.imshow(np.sqrt(img), origin="lower", extent=extent, cmap="magma")
        ax.set_title(label, fontsize=10)
        ax.set_xticks([])
        ax.set_yticks([])
    fig.suptitle(title, fontsize=11)
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)
    print("wrote", path)


def lobes_by_footprint():
    # The blend band moved out of the way so that every footprint shows its flakes.
    m = glitter.Material(blend_min=5000.0, blend_max=6000.0)
    panels = []
    for expected in (10, 100, 700):
        img, extent = lobe(m, footprint(expected))
        panels.append((f"{expected} expected flakes", img, extent))
    img, extent = lobe(glitter.Material(enable_flakes=False), footprint(100))
    panels.append(("smooth lobe", img, extent))
    show_lobes(panels, os.path.join(OUT, "lobe_footprints.png"),
               "Reflected value over light directions (sqrt scale), ray 30\u00b0 off the normal")


def lobes_through_blend():
    m = glitter.Material()  # blend band 500..700 expected flakes
    panels = []
    for expected in (450, 550, 650, 700):
        img, extent = lobe(m, footprint(expected))
        panels.append((f"{expected} expected", img, extent))
    show_lobes(panels, os.path.join(OUT, "lobe_blend.png"),
               "Through the blend band (blend_min 500, blend_max 700)")


def flake_normals():
    fp = footprint(150)
    down = np.array([0.0, 0.0, -1.0], np.float32)
    found = glitter.flakes(fp, down, glitter.Material(random_hue=True))
    n = found.directions + np.array([0.0, 0.0, 1.0], np.float32)
    n /= np.linalg.norm(n, axis=1, keepdims=True)
    colors = np.clip(found.colors / np.maximum(found.weights, 1e-6)[:, None], 0, 1)
    fig, ax = plt.subplots(figsize=(4.6, 4.4))
    ax.scatter(n[:, 0], n[:, 1], s=12 + 40 * found.weights, c=colors, edgecolors="k",
               linewidths=0.3)
    alpha = glitter.Material().flake_params()["roughness"]
    ax.add_patch(plt.Circle((0, 0), np.sin(np.arctan(alpha)), fill=False, ls="--", color="grey"))
    ax.set_aspect("equal")
    ax.set_xlabel("normal x")
    ax.set_ylabel("normal y")
    ax.set_title(f"{len(found)} flakes of a footprint of {found.expected:.0f} expected\n"
                 f"(size: covered fraction; dashed: tan \u03b8 = \u03b1 = {alpha:.2f})", fontsize=10)
    fig.tight_layout()
    path = os.path.join(OUT, "flake_normals.png")
    fig.savefig(path, dpi=110)
    plt.close(fig)
    print("wrote", path)


def albedo(material, theta, footprints, samples, rng):
    ray = np.array([np.sin(theta), 0.0, -np.cos(theta)], np.float32)
    total = 0.0
    for fp in footprints:
        u = rng.random((samples, 4), dtype=np.float32)
        _, weight, _ = glitter.sample(fp, ray, u, material)
        total += float(weight[:, 0].astype(np.float64).mean())
    return total / len(footprints)


def directional_albedo():
    rng = np.random.default_rng(7)
    thetas = np.radians(np.arange(0, 86, 5))
    places = rng.uniform(0.05, 0.9, (40, 2))
    fps_flakes = [footprint(100, u, v) for u, v in places]
    fig, ax = plt.subplots(figsize=(6, 4))
    for gloss, colour in zip((0.6, 0.8, 0.95), ("tab:blue", "tab:orange", "tab:green")):
        smooth = glitter.Material(hilight_glossiness=gloss, enable_flakes=False)
        flakes = glitter.Material(hilight_glossiness=gloss)
        a_smooth = [albedo(smooth, t, fps_flakes[:1], 200_000, rng) for t in thetas]
        a_flakes = [albedo(flakes, t, fps_flakes, 5_000, rng) for t in thetas]
        deg = np.degrees(thetas)
        ax.plot(deg, a_smooth, color=colour, label=f"smooth lobe, glossiness {gloss}")
        ax.plot(deg, a_flakes, color=colour, ls="--", marker=".",
                label=f"flakes (100 expected), glossiness {gloss}")
    ax.set_xlabel("view angle from the normal (degrees)")
    ax.set_ylabel("directional albedo (mean sample weight)")
    ax.set_ylim(0, None)
    ax.legend(fontsize=7)
    ax.grid(alpha=0.3)
    fig.tight_layout()
    path = os.path.join(OUT, "albedo.png")
    fig.savefig(path, dpi=110)
    plt.close(fig)
    print("wrote", path)


if __name__ == "__main__":
    lobes_by_footprint()
    lobes_through_blend()
    flake_normals()
    directional_albedo()
