# Shared set-up for scripts/test and scripts/run: the Debian packages the
# project needs, installed only when missing so a second run is quick.
# Sourced, not run.

LUMORA_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev libpng-dev zlib1g-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev libbrotli-dev
  nlohmann-json3-dev libtag1-dev
  fonts-wqy-microhei xvfb xauth
  python3 python3-pyftpdlib nginx-light aria2 curl
  desktop-file-utils appstream
  systemd man-db
)

lumora_missing_packages() {
  local p missing=()
  for p in "${LUMORA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' \
      || missing+=("$p")
  done
  echo "${missing[@]}"
}

lumora_install_packages() {
  local missing
  missing=$(lumora_missing_packages)
  [ -z "$missing" ] && return 0
  echo "Installing Debian packages: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

lumora_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# lumora_build DIR [cmake options...]: configure (once) and build with Ninja.
lumora_build() {
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  fi
  cmake --build "$dir" -- -j"$(nproc)" --quiet
}

# lumora_build_targets DIR TARGET...: a Release build in DIR for the bench and
# docs scripts (configured when missing, refreshed otherwise so that folders
# added since are seen); only the TARGETs are built.
lumora_build_targets() {
  local dir=$1; shift
  if [ -f "$dir/build.ninja" ]; then
    cmake "$dir" >/dev/null
  else
    cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$dir" --target "$@" -- -j"$(nproc)" --quiet
}
