# Installs the Debian packages among the arguments that are not installed
# yet, as root or through sudo, and nothing else. Sourced by scripts/setup.sh
# and bench/lib.sh; `who` names the caller in what it prints.
install_missing_packages() {
    local who=$1 missing=() p sudo=
    shift
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "$who: installing ${missing[*]}" >&2
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq >&2 || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}
