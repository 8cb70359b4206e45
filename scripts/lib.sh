# Shared set-up for scripts/run and scripts/test: sourced, not run.
# Installs missing build dependencies with apt-get, then configures and builds a tree.

PARASIM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PARASIM_JOBS="$(nproc 2>/dev/null || echo 2)"

# Debian packages the build and the tests need; each is installed only when missing.
PARASIM_PACKAGES=(g++ cmake make libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev valgrind python3 python3-matplotlib python3-numpy python3-biopython
  parallel slurm-wlm munge
  pybind11-dev python3-dev python3-pybind11 python3-pandas python3-pytest pkg-config libhts-dev
  bcftools tabix nlohmann-json3-dev python3-plotly chromium chromium-driver python3-selenium
  python3-pil python3-yaml python3-colorcet)

parasim_install_dependencies() {
  parasim_install_packages
  parasim_install_web_libraries
}

parasim_install_packages() {
  local missing=()
  local package
  for package in "${PARASIM_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}" >&2
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The pages' plotly.js, pinned in tools/report/web/package-lock.json, installed by npm from its
# registry when the installed copy is not the pinned one (the build copies it; pages made later
# need no network). npm comes with Debian's npm package where the machine has none.
parasim_install_web_libraries() {
  local web="$PARASIM_ROOT/tools/report/web"
  local pinned installed
  pinned="$(sed -n 's/.*"plotly.js-dist-min": "\(.*\)".*/\1/p' "$web/package.json")"
  installed="$(sed -n 's/^ *"version": "\(.*\)".*/\1/p' \
    "$web/node_modules/plotly.js-dist-min/package.json" 2>/dev/null || true)"
  if [ -n "$pinned" ] && [ "$installed" = "$pinned" ]; then
    return 0
  fi
  if ! command -v npm >/dev/null; then
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
      sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends npm
  fi
  echo "Installing plotly.js-dist-min $pinned for the web pages (npm ci in $web)" >&2
  (cd "$web" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
}

# parasim_build DIR [cmake options...]: configure (once) and build the tree in DIR.
parasim_build() {
  local dir="$1"
  shift
  cmake -S "$PARASIM_ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" --parallel "$PARASIM_JOBS"
}
