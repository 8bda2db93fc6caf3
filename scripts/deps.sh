# Debian packages for building and testing Dutygate. Sourced by the scripts.
DUTYGATE_PACKAGES="g++ cmake make pkg-config qt6-base-dev libsqlite3-dev sqlite3 libgtest-dev \
nlohmann-json3-dev python3 xvfb xauth fonts-wqy-zenhei faketime libfaketime"

install_deps() {
    missing=""
    for p in $DUTYGATE_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends $missing
    fi
}
