#!/usr/bin/env bash
# Starts glitter-studio: installs the Debian packages that are missing, configures and builds
# the release preset's studio (with the glitter plug-in library it loads), and runs it in the
# current folder, whose material files it may open and save. Arguments go to glitter-studio
# (`scripts/studio.sh --help` lists them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
glitter_build_release_program glitter_studio
exec "$root/build/release/apps/studio/glitter-studio" "$@"
