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
  openbox x11-utils at-spi2-core dbus-daemon dbus-bin python3-pyatspi
  python3 python3-pyftpdlib nginx-light aria2 curl
  apache2 lighttpd proftpd-core libcap2 libpam0g libssl3 libwrap0
  lighttpd-mod-openssl
  openssl
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

lumora_install_packages() {
  local missing
  missing=$(lumora_missing_packages)
  if [ -n "$missing" ]; then
    echo "Installing Debian packages: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing \
      || return 1
  fi
  lumora_unpack_vsftpd
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
