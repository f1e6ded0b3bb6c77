# Shared set-up for scripts/test, scripts/run and the others: the Debian
# packages the project needs, installed only when missing so a second run is
# quick. Sourced, not run.

# What configuring the project and building and running its programs needs
# (scripts/run, scripts/package).
LUMORA_RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config python3
  libgtest-dev libgmock-dev
  qt6-base-dev libgl-dev libpng-dev zlib1g-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev libbrotli-dev
  nlohmann-json3-dev libtag1-dev libsystemd-dev
  fonts-wqy-microhei xvfb xauth
)

# Everything the tests need (scripts/test): the above and the test tools,
# desktop, servers and checkers.
LUMORA_PACKAGES=(
  "${LUMORA_RUN_PACKAGES[@]}"
  clang libclang-rt-14-dev libbenchmark-dev
  openbox x11-utils at-spi2-core dbus-daemon dbus-bin python3-pyatspi
  python3-pyftpdlib nginx-light aria2 curl
  apache2 lighttpd proftpd-core libcap2 libpam0g libssl3 libwrap0
  lighttpd-mod-openssl
  openssl
  desktop-file-utils appstream
  systemd man-db
)

# lumora_missing_packages PACKAGE...: those not installed.
lumora_missing_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' \
      || missing+=("$p")
  done
  echo "${missing[@]}"
}

# vsftpd's package conflicts with proftpd-core's (both are "the" FTP server),
# so it is unpacked beside the system rather than installed: the interop
# tests run its binary from here. Its libraries are in LUMORA_PACKAGES.
LUMORA_VSFTPD_DIR=/var/cache/lumora/vsftpd

lumora_unpack_vsftpd() {
  [ -x "$LUMORA_VSFTPD_DIR/usr/sbin/vsftpd" ] && return 0
  echo "Unpacking vsftpd into $LUMORA_VSFTPD_DIR"
  local sudo="" work
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  work=$(mktemp -d) || return 1
  chmod 755 "$work"  # apt's download user writes here
  (cd "$work" && apt-get download vsftpd >/dev/null 2>&1 \
     || { $sudo apt-get update -qq && apt-get download vsftpd >/dev/null; }) \
    && $sudo mkdir -p "$LUMORA_VSFTPD_DIR" \
    && $sudo dpkg-deb -x "$work"/vsftpd_*.deb "$LUMORA_VSFTPD_DIR" \
    && dpkg-deb -f "$work"/vsftpd_*.deb Version | $sudo tee "$LUMORA_VSFTPD_DIR/VERSION" >/dev/null
  local status=$?
  rm -rf "$work"
  return $status
}

# lumora_install_packages [PACKAGE...]: installs those of the PACKAGEs that
# are missing; without arguments everything the tests need, vsftpd included.
lumora_install_packages() {
  local missing everything=0
  if [ $# -eq 0 ]; then
    everything=1
    set -- "${LUMORA_PACKAGES[@]}"
  fi
  missing=$(lumora_missing_packages "$@")
  if [ -n "$missing" ]; then
    echo "Installing Debian packages: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing \
      || return 1
  fi
  [ $everything -eq 0 ] || lumora_unpack_vsftpd
}

lumora_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# lumora_configure DIR [cmake options...]: configures DIR with Ninja when it
# is not configured yet (the options count only then).
lumora_configure() {
  local dir=$1; shift
  [ -f "$dir/build.ninja" ] && return 0
  cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

# lumora_build DIR [cmake options...]: configure (once) and build everything.
lumora_build() {
  lumora_configure "$@" && cmake --build "$1" -- -j"$(nproc)" --quiet
}

# lumora_bench_tree DIR: DIR ready for the bench and docs scripts: configured
# as a Release tree when missing, else refreshed (so that folders added since
# are seen), with the benchmarks switched on either way. A sanitizer tree is
# refused: numbers from it would say nothing.
lumora_bench_tree() {
  local dir=$1
  lumora_install_packages libbenchmark-dev || return 1
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMORA_BENCH=ON \
      >/dev/null
    return
  fi
  if grep -q '^LUMORA_SANITIZE:STRING=.' "$dir/CMakeCache.txt"; then
    echo "$dir is a sanitizer build; give a Release tree (default build/release)" >&2
    return 1
  fi
  grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$dir/CMakeCache.txt" \
    || echo "note: $dir is not a Release tree; its numbers are not the README's" >&2
  cmake "$dir" -DLUMORA_BENCH=ON >/dev/null
}

# lumora_build_targets DIR TARGET...: lumora_bench_tree DIR, then only the
# TARGETs are built; a target the tree cannot have is named with the tree to
# give instead.
lumora_build_targets() {
  local dir=$1 target; shift
  lumora_bench_tree "$dir" || return 1
  for target in "$@"; do
    if ! ninja -C "$dir" -t query "$target" >/dev/null 2>&1; then
      echo "$dir has no target $target (configured with LUMORA_GUI=OFF?);" \
           "give a Release tree with the window modules (default build/release)" >&2
      return 1
    fi
  done
  cmake --build "$dir" --target "$@" -- -j"$(nproc)" --quiet
}
