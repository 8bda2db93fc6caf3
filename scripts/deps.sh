# Debian packages for building and testing Dutygate. Sourced by the scripts.
DUTYGATE_PACKAGES="g++ cmake make pkg-config qt6-base-dev libsqlite3-dev sqlite3 libgtest-dev \
nlohmann-json3-dev python3 xvfb xauth fonts-wqy-zenhei faketime libfaketime"
# Test oracles of the Jet reader: mdbtools, and npm to fetch a Jet file that
# the Jet engine wrote (any npm will do, Debian's or one that came with node).
DUTYGATE_PACKAGES="$DUTYGATE_PACKAGES mdbtools"
command -v npm >/dev/null 2>&1 || DUTYGATE_PACKAGES="$DUTYGATE_PACKAGES npm"

install_deps() {
    missing=""
    for p in $DUTYGATE_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq || echo "apt-get update failed in part; going on with the indexes this machine has" >&2
        apt-get install -y -qq --no-install-recommends $missing
    fi
}

# Fetches node-adodb's examples/node-adodb.mdb into $1/node-adodb/package/
# with npm pack (it is never committed). Where npm cannot reach its registry,
# $1/node-adodb/npm-unreachable says why, and the test that needs the file
# is skipped with that reason; any other failure leaves the test to fail.
fetch_node_adodb() {
    dir="$1/node-adodb"
    [ -f "$dir/package/examples/node-adodb.mdb" ] && return 0
    mkdir -p "$dir"
    rm -f "$dir/npm-unreachable" "$dir"/node-adodb-*.tgz
    if (cd "$dir" && npm pack node-adodb >/dev/null 2>npm.log && tar xzf node-adodb-*.tgz package/examples/node-adodb.mdb); then
        return 0
    fi
    if grep -qiE 'ENOTFOUND|EAI_AGAIN|ECONNREFUSED|ECONNRESET|ETIMEDOUT|ENETUNREACH' "$dir/npm.log"; then
        cp "$dir/npm.log" "$dir/npm-unreachable"
    fi
    echo "npm pack node-adodb failed: see $dir/npm.log" >&2
}
