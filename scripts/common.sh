# Shared by the scripts: install what is missing, build.
# shellcheck shell=bash

repo_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# Installs the Debian packages that are not there yet (Debian 12 or Ubuntu).
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$(repo_root)" -B "$dir" -DBFQ_WARNINGS_AS_ERRORS=ON "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
