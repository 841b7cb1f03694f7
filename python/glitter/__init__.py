"""The glitter material from Python: its flakes, its BSDF on NumPy arrays, and renders.

Everything here runs the project's own C++ code (the extension module ``glitter._glitter``):
the flake search, the BSDF's set-up, evaluation and sampling through its renderer interface,
and the renderer core of ``glitter_render``. Results are the C++ bits.

Coordinates. A shading point lies on a flat surface with its normal on +z. Its *footprint* is
six float32 numbers ``(u, v, du_u, du_v, dv_u, dv_v)``: the point in texture space and the
change of its texture coordinates for one pixel step in screen x and in screen y; the
footprint is the parallelogram those two steps span, centred on the point (as the renderer
forms it from a ray's differentials), times ``flake_scale``. The *ray* is the incoming ray's
unit direction, pointing towards the surface (negative z for a ray from above). Light and
sampled directions are unit vectors pointing away from the surface.

Densities follow the renderer's convention: 2*pi times the density per unit solid angle, so
a direction uniform over the hemisphere has density 1.

The plug-in library is loaded by ``render()`` with ``dlopen``; it takes the host layer from the
process. The extension module carries that layer and, when imported, moves itself into the
process's global symbol scope (``dlopen(self, RTLD_NOLOAD | RTLD_GLOBAL)``), so the library
finds it however Python opened the module.
"""

from __future__ import annotations

import os
from typing import Any, Dict, Iterator, List, Mapping, Optional, Sequence, Tuple, Union

import numpy as np

from . import _glitter

__all__ = [
    "Material",
    "Flakes",
    "PARAMETERS",
    "footprint_from_corners",
    "flakes",
    "evaluate",
    "sample",
    "render",
    "PLUGIN_PATH",
]

#: The plug-in library installed beside the module; ``render()`` loads it unless told otherwise.
PLUGIN_PATH: str = os.path.join(os.path.dirname(__file__), "kuvostochasticflakesmtl2015.dlt")

#: The material's parameters as the plug-in's block description declares them, in its order:
#: each a dict with ``name`` (internal name), ``kind`` ("float", "int", "bool", "color" or
#: "map"), ``default`` and ``range`` ((low, high) or None).
PARAMETERS: List[Dict[str, Any]] = _glitter.parameters()

_BY_NAME: Dict[str, Dict[str, Any]] = {p["name"]: p for p in PARAMETERS}

Value = Union[float, int, bool, Tuple[float, float, float], str, None]


class Material:
    """The 21 parameters of one glitter material, by internal name.

    ``Material(num_flakes=2e6, random_hue=True)`` starts from the block description's defaults
    and sets what is given. Attributes read and write the parameters; a value is checked when
    it is set (unknown names raise AttributeError, out-of-range, NaN or non-integral values of
    integer parameters raise ValueError). ``reflection_filter`` is an (r, g, b) tuple;
    ``reflection_map`` is None or, for ``render()`` only, one of glitter_render's map words
    ("checker", "checker:4", "constant:1,0,0"). ``reflection_map_mult`` is in percent, as the
    material's editor shows it.
    """

    __slots__ = ("_values", "_chosen")

    def __init__(self, **values: Value) -> None:
        object.__setattr__(self, "_values", {p["name"]: p["default"] for p in PARAMETERS})
        object.__setattr__(self, "_chosen", [])
        for name, value in values.items():
            setattr(self, name, value)

    def __getattr__(self, name: str) -> Value:
        values = object.__getattribute__(self, "_values")
        if name not in values:
            raise AttributeError(f"the glitter material has no parameter '{name}'")
        return values[name]

    def __setattr__(self, name: str, value: Value) -> None:
        if name not in _BY_NAME:
            raise AttributeError(f"the glitter material has no parameter '{name}'")
        kind = _BY_NAME[name]["kind"]
        if kind == "color":
            value = tuple(float(c) for c in value)  # type: ignore[union-attr]
        elif kind == "bool":
            value = bool(value)
        elif kind == "map":
            if value is not None and not isinstance(value, str):
                raise TypeError("reflection_map takes None or a map word such as 'checker'")
        _glitter.check_parameters({name: value})
        if kind == "int":
            value = int(value)  # checked integral above
        self._values[name] = value
        if name not in self._chosen:
            self._chosen.append(name)

    def __iter__(self) -> Iterator[Tuple[str, Value]]:
        return iter(self._values.items())

    def __repr__(self) -> str:
        changed = ", ".join(f"{n}={self._values[n]!r}" for n in self._chosen)
        return f"Material({changed})"

    def values(self) -> Dict[str, Value]:
        """Every parameter's value by name."""
        return dict(self._values)

    def chosen(self) -> List[str]:
        """The names set since construction, in the order they were first set."""
        return list(self._chosen)

    def flake_params(self) -> Dict[str, float]:
        """The record the material fills at render start: ``num_flakes``, ``roughness`` (the
        Beckmann alpha from ``hilight_glossiness``), ``cos_blur_angle`` (from ``blur_angle`` in
        degrees), ``texture_subdivs``, the colour settings and ``blend_min``/``blend_max``; all
        in the C++ single precision."""
        return _glitter.flake_params(self._values)

    def set_args(self) -> List[str]:
        """The chosen values as glitter_render ``--set NAME=VALUE`` arguments."""
        args: List[str] = []
        for name in self._chosen:
            args += ["--set", f"{name}={_format(self._values[name])}"]
        return args


def _format(value: Value) -> str:
    if value is None:
        return "none"
    if isinstance(value, bool):
        return "on" if value else "off"
    if isinstance(value, tuple):
        return ",".join(repr(float(c)) for c in value)
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def _material_values(material: Optional[Material]) -> Dict[str, Value]:
    if material is None:
        material = Material()
    if not isinstance(material, Material):
        raise TypeError(f"material must be a glitter.Material, not {type(material).__name__}")
    return material.values()


def footprint_from_corners(corners: np.ndarray) -> np.ndarray:
    """The footprint ``(u, v, du_u, du_v, dv_u, dv_v)`` of the parallelogram with corners
    ``P + e1, P, P + e2, P + e1 + e2`` (a (4, 2) array in texture space). The renderer rebuilds
    the corners from the centre and the two steps, so they can differ from the given ones in
    the last bit."""
    c = np.asarray(corners, dtype=np.float64)
    if c.shape != (4, 2):
        raise ValueError(f"corners must have shape (4, 2), not {c.shape}")
    p, e1, e2 = c[1], c[0] - c[1], c[2] - c[1]
    centre = p + 0.5 * (e1 + e2)
    return np.array([centre[0], centre[1], e1[0], e1[1], e2[0], e2[1]], dtype=np.float32)


class Flakes:
    """The flakes one footprint holds, as the flake search finds them for one ray.

    Attributes: ``directions`` (n, 3) float32, each flake's mirror direction of the ray (the
    flake normal is the normalised ``direction - ray``); ``weights`` (n,) the covered fraction
    of the flake's quadtree leaf (1 inside the footprint); ``colors`` (n, 3) the flake's colour
    times its weight, as the coloured variant (``random_hue`` on) keeps it; ``expected`` the
    expected number of flakes in the footprint (``num_flakes`` times its area); ``discrete``
    whether the BSDF uses discrete flakes there (off above ``blend_max`` expected flakes, for
    degenerate footprints, or when ``enable_flakes`` is off; then no flakes are listed).
    """

    def __init__(self, found: Dict[str, Any]) -> None:
        self.directions: np.ndarray = found["directions"]
        self.weights: np.ndarray = found["weights"]
        self.colors: np.ndarray = found["colors"]
        self.expected: float = float(found["expected"])
        self.discrete: bool = bool(found["discrete"])

    def __len__(self) -> int:
        return len(self.weights)

    def __repr__(self) -> str:
        return f"Flakes({len(self)} found, {self.expected:.4g} expected, discrete={self.discrete})"


def flakes(
    footprint: np.ndarray,
    ray: Optional[np.ndarray] = None,
    material: Optional[Material] = None,
) -> Flakes:
    """The flakes in one footprint (shape (6,), float32; see the module's help).

    ``ray`` (shape (3,), float32) defaults to straight down, (0, 0, -1): then each mirror
    direction is the flake normal reflected, and ``normal = normalize(direction + (0, 0, 1))``.
    """
    if ray is None:
        ray = np.array([0.0, 0.0, -1.0], dtype=np.float32)
    return Flakes(_glitter.flakes(_material_values(material), footprint, ray))


def evaluate(
    footprint: np.ndarray,
    ray: np.ndarray,
    light: np.ndarray,
    material: Optional[Material] = None,
    threads: int = 0,
) -> Tuple[np.ndarray, np.ndarray]:
    """The BSDF's value and density for every light direction.

    ``light`` is (n, 3) float32; ``footprint`` (6,) or (n, 6) and ``ray`` (3,) or (n, 3), both
    float32 and broadcast when one-dimensional. Every array must be C-contiguous and finite.
    Returns ``(value, density)``: value (n, 3) float32, exactly what the BSDF's light
    evaluation weighs (the lobe or the flakes' cone sum, mixed in the blend band, with Smith
    shadowing, over |cos theta| of the ray), before the reflection filter and the light's
    multiple importance weight; density (n,) float32 in
    the renderer's 2*pi convention (a uniform hemisphere has density 1). The plain variant
    repeats its one value over the three channels.

    Consecutive elements with the same footprint and ray share one flake search. The batch is
    split over ``threads`` threads (0: one per hardware thread, fewer for small batches); the
    result does not depend on it. The GIL is released while the C++ code runs.
    """
    return _glitter.evaluate(_material_values(material), footprint, ray, light, threads)


def sample(
    footprint: np.ndarray,
    ray: np.ndarray,
    u: np.ndarray,
    material: Optional[Material] = None,
    threads: int = 0,
) -> Tuple[np.ndarray, np.ndarray, np.ndarray]:
    """Reflection directions drawn by the BSDF, from four uniforms per element.

    ``u`` is (n, 4) float32 in [0, 1). With discrete flakes ``u[:, 0]`` picks the flake and
    ``u[:, 2:4]`` place the direction in its blur cone; in the blend band ``u[:, 1]`` takes the
    smooth lobe with the probability of its blend weight, drawn from ``u[:, 0]`` and ``u[:, 2]``.
    Without discrete flakes ``u[:, 0:2]`` draw the smooth lobe's normal. ``footprint``, ``ray`` as for
    ``evaluate``. Returns ``(direction, weight, density)``: direction (n, 3), zero where the
    renderer rejects the sample (below the surface, or density under 1e-8); weight (n, 3) =
    value / density * reflection_filter, zero where rejected; density (n,) in the 2*pi
    convention. Threads and the GIL as for ``evaluate``.
    """
    return _glitter.sample(_material_values(material), footprint, ray, u, threads)


def render(
    material: Optional[Material] = None,
    *,
    scene: str = "default",
    camera: str = "far",
    size: Tuple[int, int] = (640, 360),
    spp: Optional[int] = None,
    threads: Optional[int] = None,
    frames: int = 1,
    frame: int = 0,
    plugin: Optional[str] = None,
    material_file: Optional[str] = None,
    args: Sequence[str] = (),
    tile: Optional[Tuple[int, int, int, int]] = None,
) -> np.ndarray:
    """Renders with glitter_render's core in this process; returns a (height, width, 3)
    float32 array of linear RGB, rows from the top.

    The keywords are glitter_render's options (``--scene``, ``--camera``, ``--size``,
    ``--spp``, ``--threads``, ``--frames``, ``--plugin``, ``--material``); the values the
    material has chosen become ``--set`` options, after ``material_file``; ``args`` adds any
    further program options as strings. The program's own parser reads them, so the same
    settings give the same pixels as ``glitter_render --out image.exr``. ``frame`` picks one of
    ``frames`` frames of the camera move. ``plugin`` defaults to the library installed beside
    this package (``PLUGIN_PATH``). Bad options raise ValueError (``_glitter.UsageError``), a
    library or material file that cannot be used RuntimeError. Material warnings go to
    standard error. The GIL is released while rendering.

    ``tile=(x0, y0, x1, y1)`` renders only the pixels x0 <= x < x1, y0 <= y < y1 of the frame
    (rows from the top) and returns a (y1 - y0, x1 - x0, 3) array holding exactly the bits those
    pixels have in the whole frame, so that tiles rendered anywhere assemble into the frame; a
    tile that is empty or reaches outside the frame raises ValueError.
    """
    argv: List[str] = ["--scene", scene, "--camera", camera, "--size", f"{size[0]}x{size[1]}"]
    argv += ["--frames", str(frames), "--plugin", plugin if plugin is not None else PLUGIN_PATH]
    if spp is not None:
        argv += ["--spp", str(spp)]
    if threads is not None:
        argv += ["--threads", str(threads)]
    if material_file is not None:
        argv += ["--material", material_file]
    if material is not None:
        if not isinstance(material, Material):
            raise TypeError(f"material must be a glitter.Material, not {type(material).__name__}")
        argv += material.set_args()
    argv += [str(a) for a in args]
    if tile is not None:
        x0, y0, x1, y1 = (int(t) for t in tile)
        return _glitter.render(argv, frame, (x0, y0, x1, y1))
    return _glitter.render(argv, frame)
