#!/usr/bin/env bash
# The build's program folder, the installation and the Debian package, seen from outside:
#   install_test.sh BUILD_DIR CMAKE CPACK PROGRAMDIR folder|install|deb
# (PROGRAMDIR: the installed program folder relative to the prefix)
# folder:  BUILD_DIR/bin holds the product and nothing else.
# install: `cmake --install` into a DESTDIR; the installed command runs the demo.
# deb:     `cpack -G DEB` makes the package; its dependencies are declared; unpacked with dpkg-deb -x into a
#          temporary root, its command runs the demo.
# The demo runs as it would for a user who does not own the installation (as nobody when run as root),
# from the command in bin/, and must write the same report as the build's own program.
set -euo pipefail
build=$1 cmake=$2 cpack=$3 programdir=$4 mode=$5
bin=$build/bin

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files of a folder, one a line, sorted, relative to it.
listing() { (cd "$1" && find . -mindepth 1 \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort); }

product="SUPPORT.INF
VornelDef.ini
demo-host.sqlite
dremmick
fennowal
halvorack"

if [ "$mode" = folder ]; then
  got=$(listing "$bin")
  [ "$got" = "$product" ] || fail "$bin holds more or less than the product:"$'\n'"$got"
  exit 0
fi

work=$(mktemp -d /tmp/uw-install-test-XXXXXX)
trap '[ -n "${UW_KEEP:-}" ] || rm -rf "$work"' EXIT
chmod 755 "$work"

# The report of the build's own program on a copy of the demo (its drive C: is the copy's folder).
mkdir "$work/ref"
cp "$bin/demo-host.sqlite" "$work/ref/"
UCHIWAKE_HOST=$work/ref/demo-host.sqlite "$bin/halvorack" --batch --month-to 3 \
  --output 'C:\Data\demo-report.xml' --yes >"$work/ref.log" 2>&1 ||
  fail "the build's demo run: $(cat "$work/ref.log")"

# Runs ROOT/PREFIX/bin/halvorack ARGS... with HOME=HOME (made here) and the environment's XDG_DATA_HOME, as a
# user who cannot write into the installation (nobody, when run as root); its status in $status, its
# output in HOME.log.
as_user() {
  local root=$1 prefix=$2 home=$3
  shift 3
  mkdir -p "$home"
  local user=()
  if [ "$(id -u)" = 0 ]; then
    chown 65534:65534 "$home"
    user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  status=0
  "${user[@]}" env -i PATH=/usr/bin:/bin HOME="$home" ${XDG_DATA_HOME:+XDG_DATA_HOME="$XDG_DATA_HOME"} \
    LANG=C.UTF-8 "$root$prefix/bin/halvorack" "$@" >"$home.log" 2>&1 || status=$?
}

# The demo from the installed command: the report of the build's own program, in the user's copy of the
# demo (its folder is the demo's drive C:), and nothing written into the installation.
run_demo() {
  local root=$1 prefix=$2 home=$work/home
  local before
  before=$(listing "$root")
  as_user "$root" "$prefix" "$home" --batch --month-to 3 --output 'C:\Data\demo-report.xml' --yes
  [ $status = 0 ] || fail "the installed demo run ended with $status: $(cat "$home.log")"
  grep -q '科目内訳書情報の出力が終了しました' "$home.log" || fail "no completion message: $(cat "$home.log")"
  local demo=$home/.local/share/uchiwake
  cmp "$work/ref/Data/demo-report.xml" "$demo/Data/demo-report.xml" ||
    fail "the installed demo's report differs"
  [ -s "$demo/Settings/Halvorack.env" ] || fail "the installed demo saved no settings"
  [ "$(listing "$root")" = "$before" ] || fail "the demo run wrote into the installation"
}

# What the command does around the demo: a newer installed demo replaces the user's copy; with --host
# no copy is made; a copy that cannot be made is one line and status 2.
check_command() {
  local root=$1 prefix=$2 demo=$work/home/.local/share/uchiwake/demo-host.sqlite
  : >"$demo"
  touch "$root$prefix/$programdir/demo-host.sqlite"
  as_user "$root" "$prefix" "$work/home" --batch --month-to 3 --output 'C:\Data\demo-report.xml' --yes
  [ $status = 0 ] && cmp -s "$demo" "$root$prefix/$programdir/demo-host.sqlite" ||
    fail "the newer installed demo did not replace the user's copy ($status): $(cat "$work/home.log")"

  as_user "$root" "$prefix" "$work/home-host" --host /nonexistent/host.sqlite --batch
  [ $status = 2 ] && [ ! -e "$work/home-host/.local" ] ||
    fail "with --host: status $status, $(ls -A "$work/home-host"): $(cat "$work/home-host.log")"

  mkdir -p "$work/home-blocked"
  : >"$work/home-blocked/data"
  XDG_DATA_HOME=$work/home-blocked/data as_user "$root" "$prefix" "$work/home-blocked" --batch
  [ $status = 2 ] && [ "$(cat "$work/home-blocked.log")" = \
    "halvorack: cannot copy the demo host database into $work/home-blocked/data/uchiwake" ] ||
    fail "a data folder in the way: status $status: $(cat "$work/home-blocked.log")"
}

# The files an installation under PREFIX holds.
installed() {
  local prefix=${1#/}
  {
    for p in halvorack dremmick fennowal; do
      echo "$prefix/bin/$p"
      echo "$prefix/share/applications/uchiwake-$p.desktop"
      echo "$prefix/share/man/man1/$p.1.gz"
    done
    sed "s|^|$prefix/$programdir/|" <<<"$product"
  } | LC_ALL=C sort
}

mkdir "$work/root"
if [ "$mode" = install ]; then
  # Under another prefix than the configured one: the commands find the program folder relative to
  # themselves.
  prefix=/opt/uw
  DESTDIR=$work/root "$cmake" --install "$build" --prefix "$prefix" >/dev/null 2>"$work/install.log" ||
    fail "cmake --install: $(cat "$work/install.log")"
elif [ "$mode" = deb ]; then
  command -v dpkg-deb >/dev/null || {
    echo "dpkg-deb is missing: no Debian package here"
    exit 77
  }
  prefix=/usr
  if ! (cd "$work" && "$cpack" -G DEB -B pkg --config "$build/CPackConfig.cmake" >cpack.log 2>&1); then
    fail "cpack: $(cat "$work/cpack.log")"
  fi
  deb=$(ls "$work"/pkg/*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  for want in libqt6widgets6 libsqlite3-0 fonts-ipafont-gothic qt6-translations-l10n; do
    grep -qE "(^|, )$want( |,|$)" <<<"$depends" || fail "the package does not depend on $want: $depends"
  done
  [ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "the package does not recommend qt6-wayland"
  dpkg-deb -x "$deb" "$work/root"
else
  fail "unknown mode $mode"
fi
[ "$(listing "$work/root")" = "$(installed "$prefix")" ] ||
  fail "the installation holds:"$'\n'"$(listing "$work/root")"
run_demo "$work/root" "$prefix"
[ "$mode" = deb ] || check_command "$work/root" "$prefix"
