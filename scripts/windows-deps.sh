# Debian packages for the Windows build and its tests, installed where
# missing (Debian 12, as root). Sourced by scripts/windows.sh.
#
# install_windows_packages installs the 64-bit set, which the build needs,
# and then the 32-bit Wine that the x86 suites run under. It sets
# x86_not_run to the reason why the x86 suites cannot run on this machine,
# or to "" when they can. The 32-bit Wine is tried once: a mirror that
# serves a damaged i386 index stays damaged for hours, and retrying the same
# install only spends the run's time.
WINDOWS_PACKAGES="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools \
binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
wine wine64 xvfb xauth fonts-wqy-microhei fonts-wine zip \
gcc libc6-dev make tcl dpkg-dev xz-utils googletest cmake ccache python3 \
wixl msitools osslsigncode openssl libwine-dev pandoc"
WINDOWS_PACKAGES_I386="wine32:i386"

missing_packages() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf ' %s' "$p"
    done
}

# A mirror caught mid-sync fails one index while the rest arrive; apt keeps
# the old copy of that one, and the install that follows tells whether what
# is there is enough.
refresh_indexes() {
    apt-get -o DPkg::Lock::Timeout=600 update -qq 2>&1 || echo "apt-get update failed in part; going on with the indexes this machine has" >&2
}

apt_install() {
    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$@"
}

# Whether the kernel refuses 32-bit x86 programs, as some kernels and
# hypervisors without the compatibility mode do ("Exec format error"): tried
# with a 93-byte static i386 ELF program whose only instructions are exit(0)
# (mov eax,1; xor ebx,ebx; int 0x80). Any other failure to run it (a
# temporary folder mounted noexec, say) proves nothing, and answers no.
kernel_refuses_32bit() {
    probe=$(mktemp)
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
    printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
    printf '\270\001\000\000\000\061\333\315\200' >>"$probe"
    chmod +x "$probe"
    said=$( ("$probe") 2>&1 || true)
    rm -f "$probe"
    case $said in *"Exec format error"*) return 0 ;; *) return 1 ;; esac
}

install_windows_packages() {
    export DEBIAN_FRONTEND=noninteractive
    missing=$(missing_packages $WINDOWS_PACKAGES)
    if [ -n "$missing" ]; then
        echo "installing:$missing"
        refresh_indexes
        # shellcheck disable=SC2086
        apt_install $missing || { echo "the Windows build's packages could not be installed" >&2; return 1; }
    fi

    x86_not_run=""
    if kernel_refuses_32bit; then
        x86_not_run="this machine runs no 32-bit code"
        echo "$x86_not_run: the x86 build is made, its tests cannot run here"
        return 0
    fi
    missing=$(missing_packages $WINDOWS_PACKAGES_I386)
    if [ -n "$missing" ]; then
        echo "installing:$missing"
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
        errors=$(mktemp)
        refresh_indexes
        # shellcheck disable=SC2086
        if ! apt_install $missing 2>"$errors"; then
            cat "$errors" >&2
            x86_not_run="32-bit Wine could not be installed: $(grep -m 1 '^E:' "$errors" || head -n 1 "$errors")"
        fi
        rm -f "$errors"
    fi
    if [ -z "$x86_not_run" ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        x86_not_run="32-bit Wine does not start: $(/usr/lib/wine/wine --version 2>&1 | head -n 1)"
    fi
    [ -z "$x86_not_run" ] || echo "x86: not run ($x86_not_run)"
}
