# A Wine session for the Windows test suites: Xvfb, a throw-away 64-bit
# prefix under the build folder (with Chinese fonts and unmanaged windows),
# and a keeper that holds Wine's own processes. Sourced by scripts/windows.sh.
#   wine_session_start BUILD_FOLDER   exports DISPLAY, WINEPREFIX, WINEARCH, WINEDEBUG
#   wine_session_end                  stops the keeper, Wine and Xvfb
# Between the two, nothing but the test runs may inherit descriptor 9.
wine64=/usr/lib/wine/wine64
xvfb_pid=""
keeper_pid=""
keeper_fifo=""

wine_session_kill() {
    [ -z "$keeper_pid" ] || kill "$keeper_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    [ -z "$keeper_fifo" ] || rm -f "$keeper_fifo"
}

wine_session_start() {
    export WINEPREFIX="$1/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    trap wine_session_kill EXIT
    trap 'exit 130' INT TERM

    displayfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$displayfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$displayfile" ] && break
        sleep 0.1
    done
    [ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(cat "$displayfile")"
    rm -f "$displayfile"
    echo "Xvfb on $DISPLAY"

    rm -rf "$WINEPREFIX"
    # No Mono or Gecko: their install prompt would wait for an answer.
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine64" wineboot -i >"$1/wineboot.log" 2>&1 || {
        echo "creating the Wine prefix failed; see $1/wineboot.log" >&2
        return 1
    }
    wineserver -w

    # Chinese text in Win32 windows: a CJK font in the prefix, linked behind
    # the dialog fonts and standing in for 宋体/SimSun. Both registry views,
    # so that 32- and 64-bit programs see it.
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
    # Wine's own Marlett draws the caption's close box; Tahoma is its dialog
    # font, and its bold face (the captions) needs a link of its own.
    cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fontlink='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
    for view in /reg:64 /reg:32; do
        for face in "Tahoma" "Tahoma Bold" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
            "$wine64" reg add "$fontlink" /v "$face" /t REG_MULTI_SZ \
                /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f $view >/dev/null
        done
        for face in "宋体" "SimSun"; do
            "$wine64" reg add "$substitutes" /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei' /f $view >/dev/null
        done
    done
    # Windows that Wine draws itself: with no window manager on Xvfb, a
    # managed window waits seconds for a manager to withdraw it each time it
    # hides.
    "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    # A crashing test prints its backtrace and ends instead of waiting behind
    # Wine's crash dialog.
    "$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    wineserver -w

    # Wine's own processes (services, the desktop, device drivers) inherit the
    # standard error of the program that starts them and live until the last
    # program ends: ctest would wait for them on that test's output pipe. So
    # a keeper (cmd.exe reading a FIFO we hold open on descriptor 9) keeps
    # them running until the tests are done, and a first program with its
    # output in /dev/null starts them. Nothing else may inherit descriptor 9,
    # or the keeper would never see the end of its input.
    keeper_fifo=$1/wine-keeper.fifo
    rm -f "$keeper_fifo"
    mkfifo "$keeper_fifo"
    "$wine64" cmd.exe <"$keeper_fifo" >"$1/wine-keeper.log" 2>&1 &
    keeper_pid=$!
    exec 9>"$keeper_fifo"
    "$wine64" cmd.exe /c exit >/dev/null 2>&1 9>&-
}

wine_session_end() {
    exec 9>&-
    for _ in $(seq 1 300); do
        kill -0 "$keeper_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$keeper_pid" 2>/dev/null || true
    keeper_pid=""
    timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
}
