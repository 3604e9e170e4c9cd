# Sourced by tools/test and tools/run: installs the Debian 12 packages that the
# build, the tests and the program need, only when some are missing.
ORBISK_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev nlohmann-json3-dev
  qt6-base-dev libgl-dev
  libexpat1-dev zlib1g-dev liblzma-dev libcurl4-openssl-dev python3
  crashmail at xmltv-util xvfb xauth poppler-utils
  dpkg-dev file lintian desktop-file-utils appstream x11-utils qt6-translations-l10n
)

orbisk_install_deps() {
  local missing=() p
  for p in "${ORBISK_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}
