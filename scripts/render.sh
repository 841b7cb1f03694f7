#!/usr/bin/env bash
# The main command: installs the Debian packages that are missing, configures and builds the
# release preset's renderer (glitter_render and the glitter plug-in library it loads), and
# renders the default scene to glitter.png in the current folder. Arguments go to
# glitter_render, e.g. `scripts/render.sh --camera close --out close.png`
# (`scripts/render.sh --help` lists them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
glitter_build_release_program glitter_render_app
exec "$root/build/release/apps/renderer/glitter_render" "$@"
