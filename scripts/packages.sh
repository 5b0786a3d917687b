# Installs the Debian packages the build needs, only those that are missing.
# Sourced by the demo and test scripts.
ambrel_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools
  libqcustomplot-dev libqcustomplot2.1-qt6 libssl-dev libgtest-dev libbenchmark-dev xvfb
)

ambrel_install_packages() {
  local missing=()
  for p in "${ambrel_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
